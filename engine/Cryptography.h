#pragma once

// Enciphers and deciphers buffers in place under a password through the
// CryptoAPI: an RC4 key derived from the MD5 hash of the password, the
// cipher started from its initial state for every call. Failures give false
// and one line on standard output, never a message to the user.

#ifdef _WIN32
#include <windows.h>
#endif
#include <wincrypt.h>

#include <cstddef>
#include <string>

class Cryptography {
public:
    Cryptography();
    ~Cryptography();
    Cryptography(const Cryptography&) = delete;
    Cryptography& operator=(const Cryptography&) = delete;

    bool Encrypt(int length, unsigned char* buffer, const char* password);
    bool Decrypt(int length, unsigned char* buffer, const char* password);

private:
    bool Transform(int length, unsigned char* buffer, const char* password, bool encrypt);
    void ReportError(const char* text);

    // A call with the key's password and at most this many bytes is served
    // from the keystream the key produced once (every call restarts the
    // cipher, so the keystream is all that a key ever gives).
    static constexpr std::size_t KeystreamLength = 1024;
    bool UseKeystream(int length, unsigned char* buffer, const char* password);
    void KeepKeystream(HCRYPTKEY key, const char* password);
    void ForgetKeystream();

    HCRYPTPROV provider = 0;
    std::string keystreamPassword;
    unsigned char keystream[KeystreamLength];
    bool hasKeystream = false;
};
