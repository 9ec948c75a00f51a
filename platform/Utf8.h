#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// Decodes the UTF-8 sequence at `at` and moves `at` past it; nothing, and
// `at` unchanged, when the bytes there are no valid UTF-8 (cut short,
// overlong forms, surrogates, code points beyond U+10FFFF).
inline std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t extra;
    char32_t character;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        character = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        character = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        character = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (text.size() - at <= extra) return std::nullopt;
    for (std::size_t n = 1; n <= extra; ++n) {
        const unsigned char next = static_cast<unsigned char>(text[at + n]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        character = (character << 6) | (next & 0x3F);
    }
    static constexpr char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (character < smallest[extra] || character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF))
        return std::nullopt;
    at += extra + 1;
    return character;
}
