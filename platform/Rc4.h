#pragma once

#include <cstddef>
#include <cstdint>

// The RC4 stream cipher. A key schedule is kept apart from the running state
// so a caller can restart the keystream from the beginning cheaply.
class Rc4 {
public:
    Rc4(const std::uint8_t* key, std::size_t keyLength);
    ~Rc4();

    // XORs the next `length` keystream bytes into `data`.
    void Apply(std::uint8_t* data, std::size_t length);
    // Back to the state right after the key schedule.
    void Restart();

private:
    std::uint8_t initial[256];
    std::uint8_t state[256];
    std::uint8_t i = 0;
    std::uint8_t j = 0;
};
