#pragma once

// The installer's file work: small files read whole and replaced in one
// step, folders made and removed, and a digest to tell whether a file is
// still exactly what the installer wrote.

#include <sys/types.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/PosixFile.h"

// A step of the installer failed; the text says what, for the user.
class SetupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file's bytes, or nothing when there is no file. Raises SetupError when
// it cannot be read or is no regular file.
std::optional<std::string> ReadSmallFile(const std::string& path);

// Replaces or creates the file in one step (temporary file beside it, fsync,
// rename): a reader or a crash sees the old content or the new one, never a
// part. A symbolic link stays and its target gets the content.
void WriteFileAtomically(const std::string& path, const std::string& content, mode_t mode);

// The permission bits of the file, following links; nothing when it is absent.
std::optional<mode_t> FileMode(const std::string& path);
bool IsExecutableFile(const std::string& path);

// Creates the folder and any missing folder above it, private to the user,
// and adds those it created to `created`, outermost first.
void MakeFolders(const std::string& folder, std::vector<std::string>& created);

// False when there was nothing to remove.
bool RemoveFile(const std::string& path);
// Removes the folder only when it is empty; false when it stays.
bool RemoveEmptyFolder(const std::string& path);

// The path with symbolic links, "." and ".." resolved, or the path itself
// when it does not exist.
std::string ResolvedPath(const std::string& path);

// SHA-256 of the bytes, in hexadecimal.
std::string ContentDigest(const std::string& content);
