// In-place conversion on real files: the layout, the head test, and what
// every failure leaves behind.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "engine/CheckPhrase.h"
#include "engine/Cryptography.h"
#include "engine/FileManager.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestProcesses.h"

namespace {

using testfiles::Bytes;
using testfiles::PatternBytes;
using testfiles::ReadFile;
using testfiles::WriteFile;
using Names = std::vector<std::string>;

constexpr std::size_t HeadLength = 33;
constexpr std::size_t ChunkSize = 1024 * 1024;

Bytes Enciphered(Bytes bytes, const char* password) {
    // A fresh object each time, so no keystream is carried over.
    Cryptography cryptography;
    EXPECT_TRUE(cryptography.Encrypt(static_cast<int>(bytes.size()),
                                     reinterpret_cast<unsigned char*>(bytes.data()), password));
    return bytes;
}

// The encrypted layout built independently: the enciphered phrase, then
// every 1024-byte block enciphered on its own.
Bytes ExpectedEncryption(const Bytes& plain, const char* password) {
    Bytes result = Enciphered(Bytes(CheckPhrase, HeadLength), password);
    for (std::size_t offset = 0; offset < plain.size(); offset += 1024)
        result += Enciphered(plain.substr(offset, 1024), password);
    return result;
}

mode_t ModeOf(const std::string& path) {
    struct stat info;
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

class FileManagerTest : public ::testing::Test {
protected:
    testfiles::PrivateHome home;
    testfiles::TempFolder folder;
    FileManager fileManager{CheckPhrase};
    std::string file = folder / "report.doc";

    bool Encrypt(const std::string& path, const char* password = "secret") {
        return fileManager.EncryptInPlace(path.c_str(), password);
    }
    bool Decrypt(const std::string& path, const char* password = "secret") {
        return fileManager.DecryptInPlace(path.c_str(), password);
    }
    FailureReason Reason() const { return fileManager.LastFailure().reason; }
};

TEST_F(FileManagerTest, EncryptsBlockByBlockAndDecryptsBack) {
    // Sizes around the head, the 1024-byte block and the 1 MiB chunk of I/O.
    for (std::size_t size : {0ul, 1ul, 32ul, 33ul, 1023ul, 1024ul, 1025ul, 2048ul, 5000ul,
                             ChunkSize - 1, ChunkSize, ChunkSize + 1025}) {
        SCOPED_TRACE(size);
        const Bytes plain = PatternBytes(size, static_cast<unsigned>(size));
        WriteFile(file, plain);

        ASSERT_TRUE(Encrypt(file));
        const Bytes encrypted = ReadFile(file);
        ASSERT_EQ(encrypted.size(), size + HeadLength);
        EXPECT_TRUE(encrypted == ExpectedEncryption(plain, "secret"));

        ASSERT_TRUE(Decrypt(file));
        EXPECT_TRUE(ReadFile(file) == plain);
        EXPECT_EQ(folder.Names(), Names{"report.doc"});
    }
}

TEST_F(FileManagerTest, SameContentAndPasswordGiveTheSameFile) {
    const Bytes block = PatternBytes(1024, 7);
    WriteFile(file, block + block);
    WriteFile(folder / "copy", block + block);
    ASSERT_TRUE(Encrypt(file));
    ASSERT_TRUE(Encrypt(folder / "copy"));

    const Bytes encrypted = ReadFile(file);
    EXPECT_TRUE(encrypted == ReadFile(folder / "copy"));
    // Every block is enciphered from the start of the keystream.
    EXPECT_TRUE(encrypted.substr(HeadLength, 1024) == encrypted.substr(HeadLength + 1024, 1024));
}

TEST_F(FileManagerTest, AWrongPasswordChangesNothing) {
    WriteFile(file, "top secret");
    ASSERT_TRUE(Encrypt(file, "Secret"));
    const Bytes encrypted = ReadFile(file);

    for (const char* password : {"secret", "SECRET", "", "Secret "}) {
        EXPECT_FALSE(Decrypt(file, password)) << password;
        EXPECT_EQ(Reason(), FailureReason::WrongPassword);
        EXPECT_TRUE(ReadFile(file) == encrypted);
        EXPECT_EQ(folder.Names(), Names{"report.doc"});
    }
}

TEST_F(FileManagerTest, TheHeadTestComparesThirtyTwoBytes) {
    WriteFile(file, "content");
    ASSERT_TRUE(Encrypt(file));
    Bytes encrypted = ReadFile(file);

    // The 33rd byte takes no part in the test.
    encrypted[32] = static_cast<char>(encrypted[32] ^ 0xFF);
    WriteFile(file, encrypted);
    ASSERT_TRUE(Decrypt(file));
    EXPECT_EQ(ReadFile(file), "content");

    // A file of a head's first 32 bytes reads as padded with 0xFF and
    // decrypts to nothing; an empty file is no head at all.
    WriteFile(file, encrypted.substr(0, 32));
    ASSERT_TRUE(Decrypt(file));
    EXPECT_EQ(ReadFile(file), "");
    EXPECT_FALSE(Decrypt(file));
    EXPECT_EQ(Reason(), FailureReason::WrongPassword);
}

TEST_F(FileManagerTest, EncryptingTwiceWrapsTheFileTwice) {
    const Bytes plain = PatternBytes(3000);
    WriteFile(file, plain);
    ASSERT_TRUE(Encrypt(file, "one"));
    ASSERT_TRUE(Encrypt(file, "two"));
    EXPECT_EQ(ReadFile(file).size(), plain.size() + 2 * HeadLength);
    ASSERT_TRUE(Decrypt(file, "two"));
    ASSERT_TRUE(Decrypt(file, "one"));
    EXPECT_TRUE(ReadFile(file) == plain);
}

TEST_F(FileManagerTest, RefusesAnythingButARegularFileBeforeTouchingIt) {
    WriteFile(folder / "target", "plain target");
    ASSERT_EQ(symlink("target", file.c_str()), 0);
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((folder / "folder").c_str(), 0700), 0);

    for (const std::string& path : {file, folder / "pipe", folder / "folder", std::string("/dev/null")}) {
        for (bool encrypt : {true, false}) {
            SCOPED_TRACE(path + (encrypt ? " encrypt" : " decrypt"));
            EXPECT_FALSE(encrypt ? Encrypt(path) : Decrypt(path));
            EXPECT_EQ(Reason(), FailureReason::NotRegularFile);
        }
    }
    EXPECT_EQ(ReadFile(folder / "target"), "plain target");
    EXPECT_EQ(folder.Names(), (Names{"folder", "pipe", "report.doc", "target"}));
}

TEST_F(FileManagerTest, AMissingFileCannotBeRead) {
    EXPECT_FALSE(Encrypt(file));
    EXPECT_EQ(fileManager.LastFailure().reason, FailureReason::CannotRead);
    EXPECT_EQ(fileManager.LastFailure().systemError, ENOENT);
    EXPECT_FALSE(Decrypt(file));
    EXPECT_EQ(Reason(), FailureReason::CannotRead);
    EXPECT_TRUE(folder.Names().empty());
}

TEST_F(FileManagerTest, AReadOnlyFileStaysAsItWasWithNothingBesideIt) {
    WriteFile(file, "plain");
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    EXPECT_FALSE(Encrypt(file));
    EXPECT_EQ(Reason(), FailureReason::ReadOnly);
    EXPECT_EQ(ReadFile(file), "plain");

    ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    ASSERT_TRUE(Encrypt(file));
    const Bytes encrypted = ReadFile(file);
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    EXPECT_FALSE(Decrypt(file));
    EXPECT_EQ(Reason(), FailureReason::ReadOnly);
    EXPECT_TRUE(ReadFile(file) == encrypted);
    EXPECT_EQ(folder.Names(), Names{"report.doc"});
}

TEST_F(FileManagerTest, AFileWithTheTemporaryNameIsNeverTouched) {
    WriteFile(file, "plain");
    WriteFile(file + ".tmp", "the user's own file");
    for (bool encrypt : {true, false}) {
        EXPECT_FALSE(encrypt ? Encrypt(file) : Decrypt(file, "\x01"));
        EXPECT_EQ(Reason(), encrypt ? FailureReason::TemporaryNameTaken : FailureReason::WrongPassword);
    }
    ASSERT_EQ(unlink((file + ".tmp").c_str()), 0);
    ASSERT_TRUE(Encrypt(file));
    WriteFile(file + ".tmp", "the user's own file");
    EXPECT_FALSE(Decrypt(file));
    EXPECT_EQ(Reason(), FailureReason::TemporaryNameTaken);

    EXPECT_EQ(ReadFile(file + ".tmp"), "the user's own file");
    ASSERT_EQ(unlink((file + ".tmp").c_str()), 0);
    ASSERT_TRUE(Decrypt(file));
    EXPECT_EQ(ReadFile(file), "plain");
}

TEST_F(FileManagerTest, DoesNotEncryptAFileWithFurtherNames) {
    // The other name would keep the plain content.
    WriteFile(file, "plain");
    ASSERT_EQ(link(file.c_str(), (folder / "other name").c_str()), 0);
    EXPECT_FALSE(Encrypt(file));
    EXPECT_EQ(Reason(), FailureReason::HardLinked);
    EXPECT_EQ(ReadFile(file), "plain");
    EXPECT_EQ(folder.Names(), (Names{"other name", "report.doc"}));
}

// A file-size limit makes writes fail with EFBIG as a full disk does with
// ENOSPC; unlike a full disk it also holds for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limited = saved;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }

private:
    rlimit saved;
};

TEST_F(FileManagerTest, AFullDiskLeavesTheFileAsItWas) {
    const Bytes plain = PatternBytes(3 * ChunkSize + 100);
    WriteFile(file, plain);
    {
        FileSizeLimit limit(ChunkSize + 4096);
        EXPECT_FALSE(Encrypt(file));
        EXPECT_EQ(Reason(), FailureReason::CannotWrite);
        EXPECT_EQ(fileManager.LastFailure().systemError, EFBIG);
    }
    EXPECT_TRUE(ReadFile(file) == plain);
    EXPECT_EQ(folder.Names(), Names{"report.doc"});

    // After the password test: the file stays encrypted, no plain copy is left.
    ASSERT_TRUE(Encrypt(file));
    const Bytes encrypted = ReadFile(file);
    {
        FileSizeLimit limit(ChunkSize + 4096);
        EXPECT_FALSE(Decrypt(file));
        EXPECT_EQ(Reason(), FailureReason::CannotWrite);
    }
    EXPECT_TRUE(ReadFile(file) == encrypted);
    EXPECT_EQ(folder.Names(), Names{"report.doc"});
    EXPECT_TRUE(fileManager.LastFailure().passwordAccepted);
    EXPECT_FALSE(Decrypt(file, "wrong"));
    EXPECT_FALSE(fileManager.LastFailure().passwordAccepted);
}

TEST_F(FileManagerTest, KeepsPermissionsAndWritesThroughAPrivateTemporaryFile) {
    WriteFile(file, PatternBytes(2 * ChunkSize + 1));
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);

    std::vector<mode_t> temporaryModes;
    std::vector<std::uint64_t> progress;
    fileManager.SetProgressHandler([&](std::uint64_t done, std::uint64_t total) {
        EXPECT_EQ(total, 2 * ChunkSize + 1);
        progress.push_back(done);
        temporaryModes.push_back(ModeOf(file + ".tmp"));
    });
    ASSERT_TRUE(Encrypt(file));
    EXPECT_EQ(progress, (std::vector<std::uint64_t>{ChunkSize, 2 * ChunkSize, 2 * ChunkSize + 1}));
    EXPECT_EQ(temporaryModes, (std::vector<mode_t>(3, 0600)));
    EXPECT_EQ(ModeOf(file), 0640u);

    fileManager.SetProgressHandler(nullptr);
    ASSERT_TRUE(Decrypt(file));
    EXPECT_EQ(ModeOf(file), 0640u);
}

TEST_F(FileManagerTest, AnExceptionFromTheProgressHandlerLeavesNothingBehind) {
    const Bytes plain = PatternBytes(3 * ChunkSize);
    WriteFile(file, plain);
    fileManager.SetProgressHandler([](std::uint64_t, std::uint64_t) { throw std::runtime_error("stop"); });
    EXPECT_THROW(Encrypt(file), std::runtime_error);
    EXPECT_TRUE(ReadFile(file) == plain);
    EXPECT_EQ(folder.Names(), Names{"report.doc"});
}

TEST_F(FileManagerTest, GivesUpWhenAnotherProgramChangesTheFileMeanwhile) {
    const Bytes plain = PatternBytes(2 * ChunkSize);
    WriteFile(file, plain);
    bool appended = false;
    fileManager.SetProgressHandler([&](std::uint64_t, std::uint64_t) {
        if (appended) return;
        appended = true;
        int fd = open(file.c_str(), O_WRONLY | O_APPEND);
        ASSERT_EQ(write(fd, "late", 4), 4);
        close(fd);
    });
    EXPECT_FALSE(Encrypt(file));
    EXPECT_EQ(Reason(), FailureReason::FileChanged);
    EXPECT_TRUE(ReadFile(file) == plain + "late");
    EXPECT_EQ(folder.Names(), Names{"report.doc"});
}

TEST_F(FileManagerTest, WithoutAccessForItsUserNothingIsReadOrLeftBehind) {
    std::string complaint = testfiles::AsUnprivilegedUser({folder.Path(), home.Folder().Path()}, [&]() -> std::string {
        WriteFile(file, "plain");
        chmod(file.c_str(), 0200);
        if (Encrypt(file) || Reason() != FailureReason::CannotRead) return "an unreadable file was read";

        chmod(file.c_str(), 0600);
        chmod(folder.Path().c_str(), 0500);
        bool encrypted = Encrypt(file);
        FailureReason reason = Reason();
        chmod(folder.Path().c_str(), 0700);
        if (encrypted || reason != FailureReason::CannotWrite) return "a read-only folder was written";
        if (ReadFile(file) != "plain" || folder.Names() != Names{"report.doc"}) return "something changed";
        return "";
    });
    EXPECT_EQ(complaint, "");
}

TEST_F(FileManagerTest, AnUnusableKeyStoreIsNotAWrongPassword) {
    WriteFile(file, "plain");
    ASSERT_TRUE(Encrypt(file));
    // The key store's folder is blocked by a file: no container can be had.
    testfiles::TempFolder otherHome;
    WriteFile(otherHome / "quorvex", "");
    testfiles::ScopedEnv blocked("XDG_DATA_HOME", otherHome.Path());
    testing::internal::CaptureStdout();
    EXPECT_FALSE(Decrypt(file));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(Reason(), FailureReason::CipherUnavailable);
    EXPECT_EQ(folder.Names(), Names{"report.doc"});
}

}  // namespace
