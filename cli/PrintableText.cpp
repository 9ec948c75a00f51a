#include "cli/PrintableText.h"

#include <optional>

#include "platform/Utf8.h"

namespace {

// Moves past a valid UTF-8 character that is no control character
// (U+0080..U+009F are controls too); false, `at` unchanged, otherwise.
bool PrintableCharacter(std::string_view text, std::size_t& at) {
    std::size_t next = at;
    std::optional<char32_t> character = DecodeUtf8(text, next);
    if (!character || *character < 0xA0) return false;
    at = next;
    return true;
}

void AppendEscape(std::string& out, unsigned char byte) {
    static const char digits[] = "0123456789abcdef";
    switch (byte) {
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default:
        out += "\\x";
        out += digits[byte >> 4];
        out += digits[byte & 15];
    }
}

}  // namespace

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char byte = static_cast<unsigned char>(text[at]);
        if (byte >= 0x20 && byte < 0x7F) {
            out += static_cast<char>(byte);
            ++at;
        } else if (std::size_t start = at; byte >= 0x80 && PrintableCharacter(text, at)) {
            out.append(text.substr(start, at - start));
        } else {
            AppendEscape(out, byte);
            ++at;
        }
    }
    return out;
}
