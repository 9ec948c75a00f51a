// Faults met on the way, through quorvex-cli as a process on real files.
// A conversion that cannot be done ends with one clear line on standard
// error and exit status 1, and leaves the folder exactly as it was.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/proof/ProofSupport.h"
#include "tests/support/TestFiles.h"

namespace {

using namespace proof;
using testfiles::PatternBytes;
using testfiles::TempFolder;
using testfiles::WriteFile;
using Names = std::vector<std::string>;

constexpr std::size_t MiB = 1 << 20;
constexpr char NotRegular[] = "it is not a regular file (a folder, device, pipe or symbolic link)";
constexpr char NameTooLong[] = "the name is too long for the temporary file beside it; give the file a shorter name";

Words CommandFor(bool encrypt, const std::string& file) {
    if (encrypt) return {"encrypt", "--suffix", "--password-stdin", "--", file};
    return {"decrypt", "--password-stdin", "--", file};
}

// The file name a conversion starts from in each direction.
std::string NameFor(bool encrypt, const std::string& stem = "a") {
    return encrypt ? stem : stem + ".locked";
}

std::string Expand(std::string text, const std::string& argument) {
    for (std::size_t at; (at = text.find("{}")) != std::string::npos;) text.replace(at, 2, argument);
    return text;
}

class FaultTest : public ::testing::Test {
public:
    // The file a conversion starts from: plain for encryption, encrypted
    // for decryption.
    const Bytes& Before(bool encrypt) const { return encrypt ? plain : encrypted; }
    std::string PutFile(const std::string& path, bool encrypt, mode_t mode = 0600) const {
        WriteFile(path, Before(encrypt));
        EXPECT_EQ(chmod(path.c_str(), mode), 0);
        return path;
    }
    // The same, under the usual name in `folder`; gives the name.
    std::string PutNamedFile(const TempFolder& folder, bool encrypt, mode_t mode = 0600) const {
        PutFile(folder / NameFor(encrypt), encrypt, mode);
        return NameFor(encrypt);
    }

protected:
    testfiles::PrivateHome home;
    const Bytes plain = PatternBytes(3 * MiB + 5, 4);
    const Bytes encrypted = EncryptedForm(plain, "pw");
};

// An existing file whose absolute path is `length` bytes long, reached
// through folders with long names, its own name ending in `suffix`.
std::string FileAtPathLength(const TempFolder& folder, std::size_t length, const std::string& suffix) {
    std::string path = folder.Path();
    while (length - path.size() > 256) {
        // Every name at most 200 bytes, and at least 100 left for the last.
        std::size_t name = std::min<std::size_t>(200, length - path.size() - 102);
        path += "/" + std::string(name, 'd');
        EXPECT_EQ(mkdir(path.c_str(), 0700), 0) << std::strerror(errno);
    }
    path += "/";
    path += std::string(length - path.size() - suffix.size(), 'f') + suffix;
    return path;
}

struct FaultCase {
    std::string what;
    // Builds the fault in the folder and gives the file argument.
    std::function<std::string(const FaultTest&, const TempFolder&, bool encrypt)> arrange;
    std::string reason;  // "{}" stands for the file argument
    std::function<void()> inChild = {};
};

void LimitFileSizeToAThird() {
    rlimit limit{MiB + 4096, MiB + 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
}

TEST_F(FaultTest, EachFaultEndsWithItsReasonAndLeavesTheFolderAsItWas) {
    const std::vector<FaultCase> faults = {
        {"a read-only file",
         [](const FaultTest& test, const TempFolder& folder, bool encrypt) {
             return test.PutNamedFile(folder, encrypt, 0400);
         },
         "the file is read-only"},
        {"a folder in place of the file",
         [](const FaultTest&, const TempFolder& folder, bool encrypt) {
             EXPECT_EQ(mkdir((folder / NameFor(encrypt)).c_str(), 0700), 0);
             return NameFor(encrypt);
         },
         NotRegular},
        {"a symbolic link to the file",
         [](const FaultTest& test, const TempFolder& folder, bool encrypt) {
             test.PutFile(folder / "target", encrypt);
             EXPECT_EQ(symlink("target", (folder / NameFor(encrypt)).c_str()), 0);
             return NameFor(encrypt);
         },
         NotRegular},
        {"a pipe nobody writes to",
         [](const FaultTest&, const TempFolder& folder, bool encrypt) {
             EXPECT_EQ(mkfifo((folder / NameFor(encrypt)).c_str(), 0600), 0);
             return NameFor(encrypt);
         },
         NotRegular},
        {"a file of the user's under the temporary name",
         [](const FaultTest& test, const TempFolder& folder, bool encrypt) {
             WriteFile(folder / (NameFor(encrypt) + ".tmp"), "the user's own file");
             return test.PutNamedFile(folder, encrypt);
         },
         "a file named \"{}.tmp\" is in the way; move or rename it and try again"},
        {"a file-size limit a third of the way",
         [](const FaultTest& test, const TempFolder& folder, bool encrypt) {
             return test.PutNamedFile(folder, encrypt);
         },
         "the file would exceed the allowed file size (File too large)", LimitFileSizeToAThird},
        {"a path of 4096 bytes",
         [](const FaultTest&, const TempFolder&, bool encrypt) {
             std::string path;
             while (path.size() < 4000) path += "d/";
             const std::string name = NameFor(encrypt, "f");
             return path + std::string(4096 - path.size() - name.size(), 'f') + name;
         },
         "the file cannot be read (File name too long)"},
        {"a path so deep the temporary name is too long",
         [](const FaultTest& test, const TempFolder& folder, bool encrypt) {
             return test.PutFile(FileAtPathLength(folder, 4093, NameFor(encrypt, "")), encrypt);
         },
         NameTooLong},
        {"a name so long the temporary name is too long",
         [](const FaultTest& test, const TempFolder& folder, bool encrypt) {
             const std::string name = NameFor(encrypt, std::string(encrypt ? 255 : 248, 'n'));
             test.PutFile(folder / name, encrypt);
             return name;
         },
         NameTooLong},
    };

    for (const FaultCase& fault : faults) {
        for (bool encrypt : {true, false}) {
            SCOPED_TRACE(fault.what + (encrypt ? ", encrypting" : ", decrypting"));
            TempFolder folder;
            const std::string argument = fault.arrange(*this, folder, encrypt);
            const Snapshot before = TakeSnapshot(folder.Path());

            const Outcome outcome = RunCli(folder.Path(), CommandFor(encrypt, argument), "pw\n", fault.inChild);

            EXPECT_FALSE(outcome.hung);
            EXPECT_EQ(outcome.status, 1);
            EXPECT_EQ(outcome.err, "quorvex-cli: " + argument + ": " + Expand(fault.reason, argument) + "\n");
            EXPECT_TRUE(TakeSnapshot(folder.Path()) == before) << "the folder changed";
        }
    }
}

TEST_F(FaultTest, WithoutPermissionNothingIsReadOrWritten) {
    struct Case {
        const char* what;
        mode_t fileMode;
        mode_t folderMode;
        const char* reason;
    };
    const Case cases[] = {
        {"an unreadable file", 0200, 0700, "you have no permission to read the file"},
        {"a read-only folder", 0600, 0500,
         "the folder of the file cannot be written to (Permission denied)"},
    };
    // The key store must belong to whoever converts.
    testfiles::PrivateHome ownHome;
    for (const Case& test : cases) {
        for (bool encrypt : {true, false}) {
            SCOPED_TRACE(std::string(test.what) + (encrypt ? ", encrypting" : ", decrypting"));
            TempFolder folder;
            const std::string box = folder / "box";
            ASSERT_EQ(mkdir(box.c_str(), 0700), 0);
            const std::string file = PutFile(box + "/" + NameFor(encrypt), encrypt, test.fileMode);
            if (geteuid() == 0) {
                ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
                ASSERT_EQ(chown(box.c_str(), 65534, 65534), 0);
            }
            ASSERT_EQ(chmod(box.c_str(), test.folderMode), 0);
            const Snapshot before = TakeSnapshot(folder.Path());
            const std::string expected = "quorvex-cli: " + NameFor(encrypt) + ": " + test.reason + "\n";

            const std::string complaint =
                AsUnprivilegedUser({folder.Path(), ownHome.Folder().Path()}, [&]() -> std::string {
                    const Outcome outcome = RunCli(box, CommandFor(encrypt, NameFor(encrypt)));
                    if (outcome.status != 1 || outcome.err != expected)
                        return "exit status " + std::to_string(outcome.status) + ", said: " + outcome.err;
                    return "";
                });

            EXPECT_EQ(complaint, "");
            EXPECT_TRUE(TakeSnapshot(folder.Path()) == before) << "the folder changed";
        }
    }
}

// Stops the conversion once its temporary file holds a third of the
// output; false when it ended before that could be seen.
bool StopMidway(CliProcess& process, const std::string& temporary, std::size_t outputSize) {
    struct stat info;
    while (!process.HasEnded()) {
        if (lstat(temporary.c_str(), &info) == 0 && static_cast<std::size_t>(info.st_size) >= outputSize / 3) {
            process.Signal(SIGSTOP);
            if (lstat(temporary.c_str(), &info) == 0) return true;
            process.Signal(SIGCONT);
        }
    }
    return false;
}

TEST_F(FaultTest, AFileChangedByAnotherProgramMidwayIsGivenUp) {
    // Large enough that the conversion is still running when it is caught.
    const Bytes bigPlain = PatternBytes(24 * MiB, 5);
    const Bytes bigEncrypted = EncryptedForm(bigPlain, "pw");
    struct Change {
        const char* what;
        std::function<void(const std::string& file)> make;
    };
    const Change changes[] = {
        {"grows",
         [](const std::string& file) {
             int fd = open(file.c_str(), O_WRONLY | O_APPEND);
             EXPECT_EQ(write(fd, "late", 4), 4);
             close(fd);
         }},
        {"shrinks",
         [](const std::string& file) {
             struct stat info;
             ASSERT_EQ(stat(file.c_str(), &info), 0);
             EXPECT_EQ(truncate(file.c_str(), info.st_size / 2), 0);
         }},
        {"is rewritten in place",
         [](const std::string& file) {
             int fd = open(file.c_str(), O_WRONLY);
             EXPECT_EQ(pwrite(fd, "edit", 4, 12 * MiB), 4);
             close(fd);
         }},
        {"is replaced by another file",
         [](const std::string& file) {
             ASSERT_EQ(rename(file.c_str(), (file + ".moved").c_str()), 0);
             WriteFile(file, "a new file under the same name");
         }},
    };
    for (const Change& change : changes) {
        for (bool encrypt : {true, false}) {
            SCOPED_TRACE(std::string("the file ") + change.what + (encrypt ? ", encrypting" : ", decrypting"));
            const Bytes& before = encrypt ? bigPlain : bigEncrypted;
            const Bytes& after = encrypt ? bigEncrypted : bigPlain;
            const std::string name = NameFor(encrypt);
            TempFolder folder;
            bool stopped = false;
            Snapshot expected;
            for (int attempt = 0; attempt < 5 && !stopped; ++attempt) {
                WriteFile(folder / name, before);
                CliProcess process(folder.Path(), {encrypt ? "encrypt" : "decrypt", "--password-stdin", name});
                stopped = StopMidway(process, folder / (name + ".tmp"), after.size());
                if (!stopped) {
                    for (const std::string& left : folder.Names()) unlink((folder / left).c_str());
                    continue;
                }
                change.make(folder / name);
                expected = TakeSnapshot(folder.Path());
                expected.erase(name + ".tmp");
                process.Signal(SIGCONT);

                const Outcome outcome = process.Wait();
                EXPECT_EQ(outcome.status, 1);
                EXPECT_EQ(outcome.err,
                          "quorvex-cli: " + name + ": another program changed the file during the conversion\n");
                EXPECT_TRUE(TakeSnapshot(folder.Path()) == expected) << "the folder is not as the change left it";
            }
            EXPECT_TRUE(stopped) << "every conversion ended before it could be caught midway";
        }
    }
}

// A file system of 4 MiB, private to this test's process and its children,
// so nothing of it outlives the test even if the test is killed.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const std::string& mountPoint) : mountPoint(mountPoint) {
        if (unshare(CLONE_NEWNS) != 0) {
            problem = std::string("no mount namespace of its own: ") + std::strerror(errno);
            return;
        }
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mkdir(mountPoint.c_str(), 0700) != 0 ||
            mount("tmpfs", mountPoint.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=4m,mode=0700") != 0) {
            problem = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
            return;
        }
        mounted = true;
    }
    ~SmallFileSystem() {
        if (mounted) umount2(mountPoint.c_str(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    const std::string& Problem() const { return problem; }
    unsigned long long FreeBytes() const {
        struct statvfs info;
        return statvfs(mountPoint.c_str(), &info) == 0
                   ? static_cast<unsigned long long>(info.f_bavail) * info.f_frsize
                   : 0;
    }

private:
    std::string mountPoint;
    std::string problem;
    bool mounted = false;
};

TEST_F(FaultTest, AFullFileSystemLeavesTheFileAsItWas) {
    TempFolder folder;
    SmallFileSystem disk(folder / "disk");
    if (!disk.Problem().empty()) GTEST_SKIP() << disk.Problem();

    for (bool encrypt : {true, false}) {
        SCOPED_TRACE(encrypt ? "encrypting" : "decrypting");
        const std::string file = PutFile(folder / ("disk/" + NameFor(encrypt)), encrypt);
        const Snapshot before = TakeSnapshot(folder.Path());
        const unsigned long long freeBefore = disk.FreeBytes();

        const Outcome outcome = RunCli(folder / "disk", CommandFor(encrypt, NameFor(encrypt)));

        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, "quorvex-cli: " + NameFor(encrypt) +
                                   ": there is not enough space on the disk (No space left on device)\n");
        EXPECT_TRUE(TakeSnapshot(folder.Path()) == before) << "the folder changed";
        EXPECT_EQ(disk.FreeBytes(), freeBefore) << "space is still taken";
        ASSERT_EQ(unlink(file.c_str()), 0);
    }
}

TEST_F(FaultTest, NamesOfAnyBytesComeBackAfterARoundTrip) {
    const Names names = {
        "two  blanks and a\ttab",
        "\"double\" and 'single' quotes",
        "a new\nline",
        "not UTF-8 \xff\xfe\x80",
        "back\\slash *?[glob] $HOME",
        "-a leading dash",
        " leading and trailing blanks ",
    };
    TempFolder folder;
    Words encrypt = {"encrypt", "--suffix", "--password-stdin", "--"};
    Words decrypt = {"decrypt", "--password-stdin", "--"};
    Names locked;
    for (std::size_t n = 0; n < names.size(); ++n) {
        WriteFile(folder / names[n], PatternBytes(5000 + n, static_cast<unsigned>(n)));
        encrypt.push_back(names[n]);
        decrypt.push_back(names[n] + ".locked");
        locked.push_back(names[n] + ".locked");
    }
    const Snapshot plainFolder = TakeSnapshot(folder.Path());

    const Outcome encrypted = RunCli(folder.Path(), encrypt);
    EXPECT_EQ(encrypted.status, 0);
    EXPECT_EQ(encrypted.err, "");
    std::sort(locked.begin(), locked.end());
    EXPECT_EQ(folder.Names(), locked);

    const Outcome decrypted = RunCli(folder.Path(), decrypt);
    EXPECT_EQ(decrypted.status, 0);
    EXPECT_EQ(decrypted.err, "");
    EXPECT_TRUE(TakeSnapshot(folder.Path()) == plainFolder) << "names or contents did not come back";
}

TEST_F(FaultTest, ANameWithNoRoomForTheSuffixIsEncryptedUnderItsOwnName) {
    TempFolder folder;
    const std::string name(250, 'n');
    PutFile(folder / name, true);

    const Outcome outcome = RunCli(folder.Path(), CommandFor(true, name));

    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "quorvex-cli: " + name + ": encrypted, but kept its name: cannot rename it to " +
                               name + ".locked (File name too long)\n");
    EXPECT_EQ(folder.Names(), Names{name});
    EXPECT_TRUE(HoldsExactly(folder / name, encrypted));
}

}  // namespace
