#pragma once

// What to put right when Ctrl+C, a hang-up or a kill ends the program, or
// Ctrl+Z stops it: a terminal left without echo, the temporary file of an
// unfinished conversion (it may hold plain content), a progress line left
// open.

#include <termios.h>

namespace signalcleanup {

// Catches SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGTSTP. After the cleanup
// the signal takes its default course, so the caller sees the program end
// (or stop) by that signal as usual.
void Install();

// While watched, the terminal `fd` gets its `normal` settings back before
// the program ends or stops, and its `quiet` ones again when it continues.
void WatchTerminal(int fd, const termios& normal, const termios& quiet);
void ForgetTerminal();
// The question the terminal shows now, asked again after a stop: what was
// typed before the stop is dropped. `prompt` must stay valid.
void SetPrompt(const char* prompt);

// While watched, the file is removed before the program ends. `path` must
// stay valid until it is forgotten.
void WatchTemporaryFile(const char* path);
void ForgetTemporaryFile();

// While open, the line on standard error is ended before the program ends.
void SetLineOpen(bool open);

}  // namespace signalcleanup
