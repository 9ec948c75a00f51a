#include "cli/SignalCleanup.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace signalcleanup {

namespace {

constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Only what is async-signal-safe is touched in the handlers: lock-free
// atomics, and termios structures that are written while no terminal is
// watched.
std::atomic<int> watchedTerminal{-1};
termios normalSettings;
termios quietSettings;
std::atomic<const char*> prompt{nullptr};
std::atomic<const char*> temporaryFile{nullptr};
std::atomic<bool> lineOpen{false};

void Write(int fd, const char* text) {
    std::size_t length = 0;
    while (text[length] != '\0') ++length;
    ssize_t ignored = write(fd, text, length);
    (void)ignored;
}

void EndLine(int fd) { Write(fd, "\n"); }

void Catch(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

// The signal is blocked while its handler runs: raised now, it is delivered
// the moment it is unblocked, with its default effect.
void TakeDefaultCourse(int signal) {
    Catch(signal, SIG_DFL);
    raise(signal);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
}

void OnEndingSignal(int signal) {
    int terminal = watchedTerminal.load();
    if (terminal >= 0) {
        tcsetattr(terminal, TCSANOW, &normalSettings);
        EndLine(terminal);
    }
    if (const char* path = temporaryFile.load()) unlink(path);
    if (lineOpen.load()) EndLine(STDERR_FILENO);
    TakeDefaultCourse(signal);
}

void OnStopSignal(int signal) {
    int savedErrno = errno;
    int terminal = watchedTerminal.load();
    if (terminal >= 0) tcsetattr(terminal, TCSANOW, &normalSettings);
    TakeDefaultCourse(signal);
    // Continued: back to the quiet prompt. The half-typed line went unseen
    // for a while, so it is dropped and the question asked again.
    Catch(signal, OnStopSignal);
    if (terminal >= 0) {
        tcsetattr(terminal, TCSAFLUSH, &quietSettings);
        if (const char* question = prompt.load()) Write(terminal, question);
    }
    errno = savedErrno;
}

static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<const char*>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

void Install() {
    for (int signal : EndingSignals) {
        // A signal ignored by whoever started us (nohup, a background job)
        // stays ignored.
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        Catch(signal, OnEndingSignal);
    }
    struct sigaction current {};
    if (sigaction(SIGTSTP, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
        Catch(SIGTSTP, OnStopSignal);
}

void WatchTerminal(int fd, const termios& normal, const termios& quiet) {
    watchedTerminal.store(-1);
    normalSettings = normal;
    quietSettings = quiet;
    watchedTerminal.store(fd);
}

void ForgetTerminal() {
    watchedTerminal.store(-1);
    prompt.store(nullptr);
}

void SetPrompt(const char* text) { prompt.store(text); }

void WatchTemporaryFile(const char* path) { temporaryFile.store(path); }

void ForgetTemporaryFile() { temporaryFile.store(nullptr); }

void SetLineOpen(bool open) { lineOpen.store(open); }

}  // namespace signalcleanup
