#include "cli/PrintableText.h"

namespace {

// The length of the valid UTF-8 sequence starting at `at`, or 0.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (std::size_t n = 1; n < length; ++n) {
        const unsigned char next = static_cast<unsigned char>(text[at + n]);
        if (n == 1 ? (next < low || next > high) : (next < 0x80 || next > 0xBF)) return 0;
    }
    // C1 control characters (U+0080..U+009F) are controls too.
    if (lead == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0) return 0;
    return length;
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
        } else if (std::size_t length = byte >= 0x80 ? Utf8SequenceLength(text, at) : 0) {
            out.append(text.substr(at, length));
            at += length;
        } else {
            AppendEscape(out, byte);
            ++at;
        }
    }
    return out;
}
