#include "engine/Cryptography.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

const char KeyContainer[] = "Metallica";

// Overwrites memory in a way the compiler may not drop as a dead store.
void Wipe(void* data, std::size_t length) {
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
    for (std::size_t n = 0; n < length; ++n) bytes[n] = 0;
}

// XORs `length` bytes of `key` into `data`, eight at a time: on a large
// file this loop is most of the work there is.
void XorInto(unsigned char* data, const unsigned char* key, std::size_t length) {
    std::size_t n = 0;
    for (; n + sizeof(std::uint64_t) <= length; n += sizeof(std::uint64_t)) {
        std::uint64_t word, keyWord;
        std::memcpy(&word, data + n, sizeof word);
        std::memcpy(&keyWord, key + n, sizeof keyWord);
        word ^= keyWord;
        std::memcpy(data + n, &word, sizeof word);
    }
    for (; n < length; ++n) data[n] ^= key[n];
}

}  // namespace

Cryptography::Cryptography() {
    // The container exists after the first run for a user; creating it then
    // fails and it is opened instead.
    if (!CryptAcquireContextA(&provider, KeyContainer, MS_DEF_PROV_A, PROV_RSA_FULL,
                              CRYPT_NEWKEYSET) &&
        !CryptAcquireContextA(&provider, KeyContainer, MS_DEF_PROV_A, PROV_RSA_FULL, 0)) {
        provider = 0;
        ReportError(
            "Error during CryptAcquireContext for a new key container.\n"
            "A container with this name probably already exists.");
    }
}

Cryptography::~Cryptography() {
    ForgetKeystream();
    if (provider) CryptReleaseContext(provider, 0);
}

bool Cryptography::Encrypt(int length, unsigned char* buffer, const char* password) {
    return Transform(length, buffer, password, true);
}

bool Cryptography::Decrypt(int length, unsigned char* buffer, const char* password) {
    return Transform(length, buffer, password, false);
}

bool Cryptography::Transform(int length, unsigned char* buffer, const char* password,
                             bool encrypt) {
    if (!provider) {
        ReportError("No handle to cryptography key container.");
        return false;
    }
    if (UseKeystream(length, buffer, password)) return true;

    HCRYPTHASH hash = 0;
    HCRYPTKEY key = 0;
    DWORD dataLength = 0;

    if (!CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
        ReportError("Error during CryptCreateHash.");
        return false;
    }
    if (!CryptHashData(hash, reinterpret_cast<const BYTE*>(password),
                       static_cast<DWORD>(std::strlen(password)), 0)) {
        ReportError("Error during CryptHashData.");
        CryptDestroyHash(hash);
        return false;
    }
    if (!CryptDeriveKey(provider, CALG_RC4, hash, 0, &key)) {
        ReportError("Error during CryptDeriveKey.");
        CryptDestroyHash(hash);
        return false;
    }

    dataLength = static_cast<DWORD>(length);
    bool transformed;
    if (encrypt) {
        transformed = CryptEncrypt(key, 0, TRUE, 0, buffer, &dataLength, static_cast<DWORD>(length));
        if (!transformed)
            ReportError("Error during CryptEncrypt.");
        else if (dataLength != static_cast<DWORD>(length))
            ReportError("Error in returned length from CryptEncrypt.");
    } else {
        transformed = CryptDecrypt(key, 0, TRUE, 0, buffer, &dataLength);
        if (!transformed)
            ReportError("Error during CryptDecrypt.");
        else if (dataLength != static_cast<DWORD>(length))
            ReportError("Error in returned length from CryptDecrypt.");
    }
    bool succeeded = transformed && dataLength == static_cast<DWORD>(length);
    if (succeeded) KeepKeystream(key, password);

    CryptDestroyKey(key);
    CryptDestroyHash(hash);
    return succeeded;
}

// Every call restarts the cipher under a key that depends on the password
// alone, so the result of a call is the data XORed with the start of that
// key's keystream. Keeping the keystream of the last password spares a hash
// and a key derivation per 1024-byte block and gives the same bytes.
bool Cryptography::UseKeystream(int length, unsigned char* buffer, const char* password) {
    if (!hasKeystream || length < 1 || static_cast<std::size_t>(length) > KeystreamLength ||
        keystreamPassword != password)
        return false;
    XorInto(buffer, keystream, static_cast<std::size_t>(length));
    return true;
}

void Cryptography::KeepKeystream(HCRYPTKEY key, const char* password) {
    if (hasKeystream && keystreamPassword == password) return;
    ForgetKeystream();
    std::memset(keystream, 0, sizeof keystream);
    DWORD produced = KeystreamLength;
    if (CryptEncrypt(key, 0, TRUE, 0, keystream, &produced, KeystreamLength) &&
        produced == KeystreamLength) {
        keystreamPassword = password;
        hasKeystream = true;
    } else {
        Wipe(keystream, sizeof keystream);
    }
}

void Cryptography::ForgetKeystream() {
    Wipe(keystream, sizeof keystream);
    Wipe(keystreamPassword.data(), keystreamPassword.size());
    keystreamPassword.clear();
    hasKeystream = false;
}

void Cryptography::ReportError(const char* text) {
    std::fputs(text, stdout);
    std::fputs("\n", stdout);
}
