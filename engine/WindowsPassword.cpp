#include "engine/WindowsPassword.h"

#include <string.h>

#include "engine/FileManager.h"
#include "platform/Utf8.h"

namespace {

// The characters Windows-1252 puts at 0x80..0x9F; 0 marks its five unused
// positions. Everything else outside ASCII maps to itself (U+00A0..U+00FF).
constexpr char16_t HighControlRange[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

std::optional<unsigned char> Windows1252Byte(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return static_cast<unsigned char>(character);
    for (int n = 0; n < 32; ++n)
        if (HighControlRange[n] != 0 && HighControlRange[n] == character)
            return static_cast<unsigned char>(0x80 + n);
    return std::nullopt;
}

// Wipes the string's bytes when it goes, whichever way the function ends.
class WipedString {
public:
    explicit WipedString(std::size_t capacity) { text.reserve(capacity); }
    ~WipedString() { explicit_bzero(text.data(), text.size()); }
    WipedString(const WipedString&) = delete;
    WipedString& operator=(const WipedString&) = delete;
    std::string text;
};

}  // namespace

std::optional<std::string> Windows1252Password(std::string_view utf8) {
    // Reserved in full, so growing never leaves a copy in freed memory.
    WipedString bytes(utf8.size());
    bool beyondAscii = false;
    for (std::size_t at = 0; at < utf8.size();) {
        std::optional<char32_t> character = DecodeUtf8(utf8, at);
        if (!character) return std::nullopt;
        std::optional<unsigned char> byte = Windows1252Byte(*character);
        if (!byte) return std::nullopt;
        beyondAscii = beyondAscii || *character >= 0x80;
        bytes.text += static_cast<char>(*byte);
    }
    if (!beyondAscii) return std::nullopt;
    return std::optional<std::string>(std::in_place, bytes.text.data(), bytes.text.size());
}

bool DecryptAcceptingWindowsPassword(FileManager& fileManager, const char* path,
                                     const char* password) {
    if (fileManager.DecryptInPlace(path, password)) return true;
    if (fileManager.LastFailure().reason != FailureReason::WrongPassword) return false;
    std::optional<std::string> windowsPassword = Windows1252Password(password);
    if (!windowsPassword) return false;
    bool decrypted = fileManager.DecryptInPlace(path, windowsPassword->c_str());
    explicit_bzero(windowsPassword->data(), windowsPassword->size());
    return decrypted;
}
