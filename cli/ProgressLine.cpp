#include "cli/ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "cli/PrintableText.h"
#include "cli/SignalCleanup.h"
#include "platform/PosixFile.h"

namespace {

void WriteToStderr(std::string_view text) {
    WriteAll(STDERR_FILENO, text.data(), text.size());
}

std::size_t TerminalWidth() {
    winsize size {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// The end of `name` in at most `room` bytes, led by "...", cut between
// UTF-8 characters. A line wider than the terminal would wrap, and then
// the carriage return could no longer take it back.
std::string Shortened(const std::string& name, std::size_t room) {
    if (name.size() <= room) return name;
    const std::string ellipsis = "...";
    if (room <= ellipsis.size()) return ellipsis.substr(0, room);
    std::size_t start = name.size() - (room - ellipsis.size());
    while (start < name.size() && (static_cast<unsigned char>(name[start]) & 0xC0) == 0x80) ++start;
    return ellipsis + name.substr(start);
}

}  // namespace

ProgressLine::ProgressLine(std::string action, std::string file)
    : action(std::move(action)), file(PrintableText(file)), terminal(isatty(STDERR_FILENO) == 1) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Update(std::uint64_t done, std::uint64_t total) {
    if (!terminal || total <= SmallestShownSize) return;
    int percent = static_cast<int>(std::min<std::uint64_t>(done, total) * 100 / total);
    if (percent == shownPercent) return;
    shownPercent = percent;

    const std::string tail = ": " + std::to_string(percent) + "%";
    const std::size_t width = TerminalWidth();
    // The last column stays empty: some terminals wrap as soon as it is used.
    const std::size_t fixed = action.size() + 1 + tail.size() + 1;
    std::size_t room = width > fixed ? width - fixed : 0;
    Show(action + " " + Shortened(file, room) + tail);
}

void ProgressLine::Show(const std::string& text) {
    std::string line = "\r" + text;
    if (text.size() < shownLength) line += std::string(shownLength - text.size(), ' ') + "\r" + text;
    signalcleanup::SetLineOpen(true);
    WriteToStderr(line);
    shownLength = text.size();
}

void ProgressLine::Clear() {
    if (shownLength == 0) return;
    WriteToStderr("\r" + std::string(shownLength, ' ') + "\r");
    shownLength = 0;
    signalcleanup::SetLineOpen(false);
}
