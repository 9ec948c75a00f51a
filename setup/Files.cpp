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

}  // namespace

std::optional<std::string> ReadSmallFile(const std::string& path) {
    std::string text;
    const int error = ReadWholeFile(path, MaxFileSize, text);
    if (error == ENOENT) return std::nullopt;
    if (error != 0) Fail("Cannot read", path, error);
    return text;
}

void WriteFileAtomically(const std::string& path, const std::string& content, mode_t mode) {
    if (int error = ReplaceFileAtomically(path, content, mode)) Fail("Cannot write", path, error);
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
