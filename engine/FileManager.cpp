#include "engine/FileManager.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "engine/ChunkWriter.h"
#include "engine/Cryptography.h"
#include "platform/PosixFile.h"

namespace {

// The unit of the format: every block is enciphered on its own.
constexpr std::size_t BlockSize = 1024;
// The unit of I/O: whole blocks, large enough that system calls cost little.
constexpr std::size_t ChunkSize = 1024 * BlockSize;

// Reads until `length` bytes are in or the data ends; -1 on a read error.
ssize_t ReadUpTo(int fd, unsigned char* buffer, std::size_t length) {
    std::size_t total = 0;
    while (total < length) {
        ssize_t got = read(fd, buffer + total, length - total);
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(total);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool SameContentStamp(const struct stat& a, const struct stat& b) {
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// The converted file takes the file's owner and permissions. Where the group
// cannot be kept, the group's rights are dropped rather than granted to
// another group: a decrypted file must never be more readable than its source.
bool CopyOwnerAndMode(int fd, const struct stat& source) {
    if (fchown(fd, source.st_uid, source.st_gid) != 0 &&
        fchown(fd, static_cast<uid_t>(-1), source.st_gid) != 0) {
        // Not the owner's group either: handled below.
    }
    struct stat now;
    if (fstat(fd, &now) != 0) return false;
    mode_t mode = source.st_mode & 07777;
    if (now.st_gid != source.st_gid) mode &= ~static_cast<mode_t>(S_IRWXG | S_ISGID);
    return fchmod(fd, mode) == 0;
}

// Plain content and key-dependent bytes must not outlive the conversion in
// freed memory.
class WipedBuffer {
public:
    explicit WipedBuffer(std::size_t length) : bytes(new unsigned char[length]), length(length) {}
    ~WipedBuffer() { explicit_bzero(bytes.get(), length); }
    WipedBuffer(const WipedBuffer&) = delete;
    WipedBuffer& operator=(const WipedBuffer&) = delete;

    unsigned char* Get() { return bytes.get(); }

private:
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t length;
};

// Removes the temporary file on every way out of a conversion but its
// success, an exception included: it may hold plain content, and it would
// stand in the way of the next attempt.
class TemporaryFileGuard {
public:
    explicit TemporaryFileGuard(std::string path) : path(std::move(path)) {}
    ~TemporaryFileGuard() {
        if (!kept) unlink(path.c_str());
    }
    TemporaryFileGuard(const TemporaryFileGuard&) = delete;
    TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;
    void Keep() { kept = true; }

private:
    std::string path;
    bool kept = false;
};

}  // namespace

FileManager::FileManager(const char* phrase) : phrase(new char[std::strlen(phrase) + 1]) {
    std::strcpy(this->phrase, phrase);
}

FileManager::~FileManager() {
    delete[] phrase;
}

bool FileManager::EncryptInPlace(const char* path, const char* password) {
    return Convert(path, password, true);
}

bool FileManager::DecryptInPlace(const char* path, const char* password) {
    return Convert(path, password, false);
}

bool FileManager::Convert(const char* path, const char* password, bool encrypt) {
    lastFailure = {};
    bool passwordAccepted = false;
    auto fail = [this, &passwordAccepted](FailureReason reason, int systemError = 0) {
        lastFailure = {reason, systemError, passwordAccepted};
        return false;
    };

    Cryptography cryptography;

    // Only a regular file is converted. A symbolic link would be replaced by
    // an encrypted copy while its target stayed plain; a device or pipe has
    // no content that could be put back.
    struct stat found;
    if (lstat(path, &found) != 0) return fail(FailureReason::CannotRead, errno);
    if (!S_ISREG(found.st_mode)) return fail(FailureReason::NotRegularFile);
    FileDescriptor file(open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.IsOpen())
        return fail(errno == ELOOP ? FailureReason::NotRegularFile : FailureReason::CannotRead, errno);
    struct stat original;
    if (fstat(file.Get(), &original) != 0) return fail(FailureReason::CannotRead, errno);
    if (!S_ISREG(original.st_mode) || !SameFile(original, found))
        return fail(FailureReason::FileChanged);
    posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    const std::size_t phraseLength = std::strlen(phrase);
    WipedBuffer headBuffer(BlockSize);
    unsigned char* head = headBuffer.Get();
    if (encrypt) {
        std::memcpy(head, phrase, phraseLength);
        if (!cryptography.Encrypt(static_cast<int>(phraseLength), head, password))
            return fail(FailureReason::CipherUnavailable);
    } else {
        // A file shorter than the head reads as if padded with 0xFF bytes,
        // so a 32-byte file equal to a head's first 32 bytes still passes.
        ssize_t got = ReadUpTo(file.Get(), head, phraseLength);
        if (got < 0) return fail(FailureReason::CannotRead, errno);
        std::memset(head + got, 0xFF, phraseLength - static_cast<std::size_t>(got));
        if (!cryptography.Decrypt(static_cast<int>(phraseLength), head, password))
            return fail(FailureReason::CipherUnavailable);
        // The last byte of the head takes no part in the test.
        if (std::memcmp(head, phrase, phraseLength - 1) != 0)
            return fail(FailureReason::WrongPassword);
        passwordAccepted = true;
    }

    if ((original.st_mode & S_IWUSR) == 0) return fail(FailureReason::ReadOnly);
    if (encrypt && original.st_nlink > 1) return fail(FailureReason::HardLinked);

    // The temporary name must be free: it may hold a file of the user's, or
    // the only copy left by an earlier conversion that was interrupted.
    const std::string temporaryPath = std::string(path) + ".tmp";
    FileDescriptor temporary(
        open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!temporary.IsOpen())
        return fail(errno == EEXIST ? FailureReason::TemporaryNameTaken : FailureReason::CannotWrite,
                    errno);
    // Declared in this order, so on the way out the writer is done with the
    // temporary file before it is removed, and removed before it is closed.
    TemporaryFileGuard discardUnlessKept(temporaryPath);

    // Output is written in whole chunks at chunk-aligned offsets, so no page
    // is written twice while the disk is already busy with it. The encrypted
    // head shifts the content by its length; those bytes are carried over
    // from one chunk to the next. Two buffers take turns: one is converted
    // while the writer writes the other.
    WipedBuffer buffers[2] = {WipedBuffer(ChunkSize + BlockSize), WipedBuffer(ChunkSize + BlockSize)};
    int filling = 0;
    std::size_t carried = 0;
    if (encrypt) {
        std::memcpy(buffers[filling].Get(), head, phraseLength);
        carried = phraseLength;
    }
    const std::uint64_t total = static_cast<std::uint64_t>(original.st_size);
    std::uint64_t done = encrypt ? 0 : std::min<std::uint64_t>(phraseLength, total);
    ChunkWriter writer(temporary.Get());
    for (;;) {
        unsigned char* buffer = buffers[filling].Get();
        unsigned char* content = buffer + carried;
        ssize_t got = ReadUpTo(file.Get(), content, ChunkSize);
        if (got < 0) return fail(FailureReason::CannotRead, errno);
        const std::size_t length = static_cast<std::size_t>(got);
        for (std::size_t offset = 0; offset < length; offset += BlockSize) {
            int block = static_cast<int>(std::min(BlockSize, length - offset));
            bool converted = encrypt ? cryptography.Encrypt(block, content + offset, password)
                                     : cryptography.Decrypt(block, content + offset, password);
            if (!converted) return fail(FailureReason::CipherUnavailable);
        }
        const std::size_t ready = carried + length;
        const std::size_t now = std::min(ready, ChunkSize);
        if (now > 0 && !writer.Submit(buffer, now)) return fail(FailureReason::CannotWrite, errno);
        // The other buffer is free once Submit has returned.
        carried = ready - now;
        filling = 1 - filling;
        std::memcpy(buffers[filling].Get(), buffer + now, carried);
        done += length;
        if (length > 0 && progress) progress(done, total);
        if (length < ChunkSize && carried == 0) break;
    }
    if (!writer.Finish()) return fail(FailureReason::CannotWrite, errno);

    // Whatever another program wrote to the file meanwhile would be lost
    // with the old file, so such a conversion is given up.
    struct stat afterwards;
    if (fstat(file.Get(), &afterwards) != 0) return fail(FailureReason::CannotRead, errno);
    if (!SameContentStamp(original, afterwards)) return fail(FailureReason::FileChanged);

    if (!CopyOwnerAndMode(temporary.Get(), original))
        return fail(FailureReason::CannotWrite, errno);
    if (fsync(temporary.Get()) != 0) return fail(FailureReason::CannotWrite, errno);
    if (!temporary.Close()) return fail(FailureReason::CannotWrite, errno);

    // The name must still lead to the file that was read.
    struct stat current;
    if (lstat(path, &current) != 0 || !SameFile(current, original))
        return fail(FailureReason::FileChanged);

    // One atomic step: at every moment the name holds either the old file
    // or the complete new one.
    if (rename(temporaryPath.c_str(), path) != 0) return fail(FailureReason::CannotWrite, errno);
    discardUnlessKept.Keep();
    FlushFolder(FolderOf(path));
    return true;
}
