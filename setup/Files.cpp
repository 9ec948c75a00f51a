#include "setup/Files.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <system_error>

namespace {

// Entries and uca.xml take a few kilobytes; anything near this is not ours.
constexpr std::size_t MaxFileSize = 16u << 20;

std::string ErrorText(int error) { return std::generic_category().message(error); }

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
    throw SetupError(what + " '" + path + "' (" + ErrorText(error) + ")");
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd(fd) {}
    ~FileDescriptor() {
        if (fd >= 0) close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd; }
    // Closes now and tells whether the close went well: on some file systems
    // the last write error only shows here.
    bool Close() {
        int result = close(fd);
        fd = -1;
        return result == 0;
    }

private:
    int fd;
};

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

}  // namespace

std::optional<std::string> ReadSmallFile(const std::string& path) {
    // Non-blocking, so a pipe in the file's place cannot stall the installer.
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.Get() < 0) {
        if (errno == ENOENT) return std::nullopt;
        Fail("Cannot read", path, errno);
    }
    struct stat info;
    if (fstat(file.Get(), &info) != 0) Fail("Cannot read", path, errno);
    if (!S_ISREG(info.st_mode)) Fail("Cannot read", path, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);

    std::string text;
    char buffer[65536];
    while (true) {
        ssize_t got = read(file.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            Fail("Cannot read", path, errno);
        }
        if (got == 0) return text;
        if (text.size() + static_cast<std::size_t>(got) > MaxFileSize)
            Fail("Cannot read", path, EFBIG);
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

void WriteFileAtomically(const std::string& path, const std::string& content, mode_t mode) {
    std::string target = path;
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) target = ResolvedPath(path);

    std::string temporary = target + ".new-XXXXXX";
    FileDescriptor file(mkostemp(temporary.data(), O_CLOEXEC));
    if (file.Get() < 0) Fail("Cannot write", path, errno);
    bool written = WriteAll(file.Get(), content) && fchmod(file.Get(), mode) == 0 &&
                   fsync(file.Get()) == 0;
    written = file.Close() && written;
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        int error = errno;
        unlink(temporary.c_str());
        Fail("Cannot write", path, error);
    }
    // The rename itself lasts only once the folder is on disk.
    FileDescriptor folder(open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0 || (fsync(folder.Get()) != 0 && errno != EINVAL))
        Fail("Cannot be sure of having written", path, errno);
}

std::optional<mode_t> FileMode(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return std::nullopt;
    return info.st_mode & 07777;
}

bool IsExecutableFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

void MakeFolders(const std::string& folder, std::vector<std::string>& created) {
    struct stat info;
    if (stat(folder.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return;
        Fail("Cannot create the folder", folder, ENOTDIR);
    }
    std::string parent = FolderOf(folder);
    if (parent != folder) MakeFolders(parent, created);
    // Private to the user, as the base directory rules ask of new folders.
    if (mkdir(folder.c_str(), 0700) == 0)
        created.push_back(folder);
    else if (errno != EEXIST)
        Fail("Cannot create the folder", folder, errno);
}

bool RemoveFile(const std::string& path) {
    if (unlink(path.c_str()) == 0) return true;
    if (errno == ENOENT) return false;
    Fail("Cannot remove", path, errno);
}

bool RemoveEmptyFolder(const std::string& path) {
    if (rmdir(path.c_str()) == 0) return true;
    if (errno == ENOENT || errno == ENOTEMPTY || errno == EEXIST) return false;
    Fail("Cannot remove the folder", path, errno);
}

std::string FolderOf(const std::string& path) {
    std::size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) return "/";
    std::size_t slash = path.rfind('/', end);
    if (slash == std::string::npos) return ".";
    std::size_t folderEnd = path.find_last_not_of('/', slash);
    return folderEnd == std::string::npos ? "/" : path.substr(0, folderEnd + 1);
}

std::string ResolvedPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string result = resolved;
    std::free(resolved);
    return result;
}

std::string ContentDigest(const std::string& content) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(content.data(), content.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        throw SetupError("Cannot compute a SHA-256 digest: the crypto library refused");
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 15];
    }
    return hex;
}
