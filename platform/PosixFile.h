#pragma once

// Small helpers over POSIX file descriptors shared by the engine and the
// registry, both of which replace files atomically.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <string>

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd(fd) {}
    ~FileDescriptor() {
        if (fd >= 0) close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return fd; }
    bool IsOpen() const { return fd >= 0; }
    // Closes now and tells whether the close succeeded: on some file
    // systems a failed write is reported only here.
    bool Close() {
        int closing = fd;
        fd = -1;
        return close(closing) == 0;
    }

private:
    int fd;
};

// Writes everything, retrying short writes; false with errno on an error.
inline bool WriteAll(int fd, const void* data, std::size_t length) {
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        ssize_t put = write(fd, bytes, length);
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += put;
        length -= static_cast<std::size_t>(put);
    }
    return true;
}

// The folder holding `path`: "." for a bare name, "/" at the root;
// trailing slashes of the path do not count.
inline std::string FolderOf(const std::string& path) {
    std::size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) return "/";
    std::size_t slash = path.rfind('/', end);
    if (slash == std::string::npos) return ".";
    std::size_t folderEnd = path.find_last_not_of('/', slash);
    return folderEnd == std::string::npos ? "/" : path.substr(0, folderEnd + 1);
}

// Flushes a folder, so a rename inside it survives a power loss. File
// systems that cannot flush folders answer EINVAL, which counts as done.
inline bool FlushFolder(const std::string& folder) {
    FileDescriptor dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.IsOpen() && (fsync(dir.Get()) == 0 || errno == EINVAL);
}

// Reads a small regular file whole into `text`. Gives 0, or the errno of
// the failure: ENOENT for a missing file, EISDIR or EINVAL for something
// that is not a regular file, EFBIG past `maxSize` bytes. Opens without
// blocking, so a pipe put in the file's place cannot stall the program.
inline int ReadWholeFile(const std::string& path, std::size_t maxSize, std::string& text) {
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.IsOpen()) return errno;
    struct stat info;
    if (fstat(file.Get(), &info) != 0) return errno;
    if (!S_ISREG(info.st_mode)) return S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    text.clear();
    char buffer[65536];
    for (;;) {
        ssize_t got = read(file.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) return 0;
        if (text.size() + static_cast<std::size_t>(got) > maxSize) return EFBIG;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

// Creates the folder and every missing folder above it, private to the
// user. Gives 0, or the errno of the failure (ENOTDIR when something that
// is no folder is in the way).
inline int MakePrivateFolders(const std::string& folder) {
    struct stat info;
    if (stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return errno;
        if (slash == std::string::npos) break;
    }
    if (stat(folder.c_str(), &info) != 0) return errno;
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

// The file a path names once symbolic links are followed, also where the
// last link dangles (then the file it would create). The path itself when
// it is no link.
inline std::string FollowLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length <= 0) return path;
        target.resize(static_cast<std::size_t>(length));
        path = target[0] == '/' ? target : FolderOf(path) + "/" + target;
    }
    return path;
}

// Replaces (or creates) the file at `path` with `content` in one step: a
// temporary file beside it with the given mode, fsync, rename over it,
// folder flushed. A reader or a crash sees the old content or the new one,
// never a part. A symbolic link stays a link: its target gets the content.
// Gives 0, or the errno of the failure; once the new content is in place,
// a folder that cannot be flushed no longer counts as one.
inline int ReplaceFileAtomically(const std::string& path, const std::string& content, mode_t mode) {
    const std::string target = FollowLinks(path);
    std::string temporary = target + ".new-XXXXXX";
    FileDescriptor file(mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.IsOpen()) return errno;
    int error = 0;
    if (!WriteAll(file.Get(), content.data(), content.size()) || fchmod(file.Get(), mode) != 0 ||
        fsync(file.Get()) != 0)
        error = errno;
    if (!file.Close() && error == 0) error = errno;
    if (error == 0 && rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        unlink(temporary.c_str());
        return error;
    }
    FlushFolder(FolderOf(target));
    return 0;
}
