#pragma once

// The password of a run: read from standard input or asked on the terminal,
// kept in one buffer that is wiped when it goes.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Password {
public:
    // Longer lines are refused rather than cut, so that what is typed is
    // exactly what encrypts.
    static constexpr std::size_t MaxLength = 64 * 1024;

    Password();
    ~Password();
    Password(const Password&) = delete;
    Password& operator=(const Password&) = delete;

    // False when the password is full.
    bool Append(char byte);
    void DropLast() { if (length > 0) bytes[--length] = '\0'; }
    void Clear();

    const char* CStr() const { return bytes.data(); }
    std::string_view View() const { return {bytes.data(), length}; }
    std::size_t Length() const { return length; }

private:
    // Sized once, so no copy of the password is ever left behind in a freed
    // block.
    std::vector<char> bytes;
    std::size_t length = 0;
};

struct PasswordProblem {
    int exitStatus;
    std::string message;
};

// One line of raw bytes from standard input, without "\n" or "\r\n".
std::optional<PasswordProblem> ReadPasswordFromStdin(Password& password);

// Asks on the controlling terminal with echo off; with `askTwice` the
// password must be typed again and match.
std::optional<PasswordProblem> AskPasswordOnTerminal(bool askTwice, Password& password);
