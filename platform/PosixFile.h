#pragma once

// Small helpers over POSIX file descriptors shared by the engine and the
// registry, both of which replace files atomically.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
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

inline std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Flushes a folder, so a rename inside it survives a power loss. File
// systems that cannot flush folders answer EINVAL, which counts as done.
inline bool FlushFolder(const std::string& folder) {
    FileDescriptor dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.IsOpen() && (fsync(dir.Get()) == 0 || errno == EINVAL);
}
