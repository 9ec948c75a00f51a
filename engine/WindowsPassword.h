#pragma once

// Passwords typed on Windows were hashed as bytes of the machine's ANSI code
// page, Windows-1252 on Western machines; here they arrive as UTF-8.

#include <optional>
#include <string>
#include <string_view>

class FileManager;

// The Windows-1252 bytes of a UTF-8 password, when the password is valid
// UTF-8, holds characters outside ASCII and Windows-1252 can represent all
// of them; nothing otherwise (then the bytes would be the same or cannot be).
std::optional<std::string> Windows1252Password(std::string_view utf8);

// DecryptInPlace, and when the password test fails, once more with the
// password's Windows-1252 bytes if it has any. The head test makes a false
// match practically impossible.
bool DecryptAcceptingWindowsPassword(FileManager& fileManager, const char* path,
                                     const char* password);
