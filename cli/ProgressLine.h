#pragma once

// A single line on standard error, rewritten in place, that shows how far
// the conversion of a big file has come ("Encrypting report.doc: 42%").
// Only for a person watching a terminal: nothing is written when standard
// error is not one, or when the file is small enough to be done at once.

#include <cstdint>
#include <string>

class ProgressLine {
public:
    static constexpr std::uint64_t SmallestShownSize = 64ull * 1024 * 1024;

    // `action` and `file` make the line's text: "<action> <file>: 42%".
    ProgressLine(std::string action, std::string file);
    ~ProgressLine();  // clears the line
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Update(std::uint64_t done, std::uint64_t total);

private:
    void Show(const std::string& text);
    void Clear();

    std::string action;
    std::string file;
    bool terminal;
    int shownPercent = -1;
    std::size_t shownLength = 0;
};
