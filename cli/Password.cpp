#include "cli/Password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/SignalCleanup.h"
#include "platform/PosixFile.h"

namespace {

enum class LineResult { Read, TooLong, Failed };

// Reads one line into `password`, byte by byte so that nothing after the
// line is taken from the stream, and drops its "\n" or "\r\n".
LineResult ReadLine(int fd, Password& password, int& error) {
    password.Clear();
    bool carriageReturn = false;
    for (;;) {
        char byte;
        ssize_t got = read(fd, &byte, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = errno;
            password.Clear();
            return LineResult::Failed;
        }
        if (got == 0) break;
        if (byte == '\n') {
            if (carriageReturn) password.DropLast();
            break;
        }
        carriageReturn = byte == '\r';
        bool appended = password.Append(byte);
        byte = 0;
        if (!appended) {
            password.Clear();
            return LineResult::TooLong;
        }
    }
    return LineResult::Read;
}

std::optional<PasswordProblem> CheckLine(LineResult result, int error, const Password& password,
                                         const std::string& source) {
    switch (result) {
    case LineResult::Failed:
        return PasswordProblem{1, "cannot read the password from " + source + " (" +
                                      std::strerror(error) + ")"};
    case LineResult::TooLong:
        return PasswordProblem{1, "the password is longer than " +
                                      std::to_string(Password::MaxLength) + " bytes"};
    case LineResult::Read:
        break;
    }
    // The engine takes the password as a C string: a NUL would silently
    // cut it short.
    if (password.View().find('\0') != std::string_view::npos)
        return PasswordProblem{1, "the password contains a NUL byte, which a password cannot hold"};
    if (password.Length() == 0) return PasswordProblem{1, "no password specified"};
    return std::nullopt;
}

void WriteText(int fd, std::string_view text) {
    WriteAll(fd, text.data(), text.size());  // a prompt that cannot be shown is no reason to stop
}

std::optional<PasswordProblem> Prompt(int terminal, const char* prompt, Password& password) {
    signalcleanup::SetPrompt(prompt);
    WriteText(terminal, prompt);
    int error = 0;
    LineResult result = ReadLine(terminal, password, error);
    // The Enter key was not echoed either.
    WriteText(terminal, "\n");
    return CheckLine(result, error, password, "the terminal");
}

std::optional<PasswordProblem> AskQuietly(int terminal, bool askTwice, Password& password) {
    if (auto problem = Prompt(terminal, "Password: ", password)) return problem;
    if (!askTwice) return std::nullopt;
    Password repeated;
    if (auto problem = Prompt(terminal, "Repeat password: ", repeated)) return problem;
    if (password.View() != repeated.View()) {
        password.Clear();
        return PasswordProblem{1, "the two passwords are not equal"};
    }
    return std::nullopt;
}

}  // namespace

Password::Password() : bytes(MaxLength + 1, '\0') {}

Password::~Password() { Clear(); }

bool Password::Append(char byte) {
    if (length == MaxLength) return false;
    bytes[length++] = byte;
    return true;
}

void Password::Clear() {
    explicit_bzero(bytes.data(), bytes.size());
    length = 0;
}

std::optional<PasswordProblem> ReadPasswordFromStdin(Password& password) {
    int error = 0;
    LineResult result = ReadLine(STDIN_FILENO, password, error);
    return CheckLine(result, error, password, "standard input");
}

std::optional<PasswordProblem> AskPasswordOnTerminal(bool askTwice, Password& password) {
    const PasswordProblem noTerminal{
        2, "there is no terminal to ask the password on; give it with --password-stdin"};
    int terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) return noTerminal;
    termios normal;
    if (tcgetattr(terminal, &normal) != 0) {
        close(terminal);
        return noTerminal;
    }
    termios quiet = normal;
    quiet.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL);

    // Watched before the echo goes off, so Ctrl+C at any moment from here
    // on leaves the terminal as it was found.
    signalcleanup::WatchTerminal(terminal, normal, quiet);
    std::optional<PasswordProblem> problem;
    if (tcsetattr(terminal, TCSAFLUSH, &quiet) != 0) {
        problem = PasswordProblem{1, std::string("cannot turn off the echo of the terminal (") +
                                         std::strerror(errno) + ")"};
    } else {
        problem = AskQuietly(terminal, askTwice, password);
    }
    tcsetattr(terminal, TCSANOW, &normal);
    signalcleanup::ForgetTerminal();
    close(terminal);
    return problem;
}
