#include "platform/Rc4.h"

#include <cstring>
#include <utility>

Rc4::Rc4(const std::uint8_t* key, std::size_t keyLength) {
    for (int n = 0; n < 256; ++n) initial[n] = static_cast<std::uint8_t>(n);
    std::uint8_t k = 0;
    for (int n = 0; n < 256; ++n) {
        k = static_cast<std::uint8_t>(k + initial[n] + key[n % keyLength]);
        std::swap(initial[n], initial[k]);
    }
    Restart();
}

Rc4::~Rc4() {
    // Key material should not linger in freed memory.
    volatile std::uint8_t* wipe = initial;
    for (std::size_t n = 0; n < sizeof initial; ++n) wipe[n] = 0;
    wipe = state;
    for (std::size_t n = 0; n < sizeof state; ++n) wipe[n] = 0;
}

void Rc4::Restart() {
    std::memcpy(state, initial, sizeof state);
    i = 0;
    j = 0;
}

void Rc4::Apply(std::uint8_t* data, std::size_t length) {
    for (std::size_t n = 0; n < length; ++n) {
        i = static_cast<std::uint8_t>(i + 1);
        j = static_cast<std::uint8_t>(j + state[i]);
        std::swap(state[i], state[j]);
        data[n] ^= state[static_cast<std::uint8_t>(state[i] + state[j])];
    }
}
