#include "platform/RenameNoReplace.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

bool RenameNoReplace(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;

    // The file system cannot rename without replacing. A hard link fails
    // when the name is taken, just as the rename should.
    if (link(from, to) == 0) {
        if (unlink(from) == 0) return true;
        int error = errno;
        unlink(to);
        errno = error;
        return false;
    }
    if (errno == EEXIST) return false;

    // No hard links either (FAT, some network shares): test, then rename.
    // The gap between the two is the best such a file system allows.
    struct stat info;
    if (lstat(to, &info) == 0) {
        errno = EEXIST;
        return false;
    }
    return rename(from, to) == 0;
}
