// The CryptoAPI stand-in against facts of the Windows Base provider.

#include <gtest/gtest.h>
#include <wincrypt.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

namespace {

std::string Hex(const BYTE* data, std::size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t n = 0; n < length; ++n) {
        text += digits[data[n] >> 4];
        text += digits[data[n] & 15];
    }
    return text;
}

HCRYPTKEY DeriveKey(HCRYPTPROV provider, const std::string& password, HCRYPTHASH& hash) {
    EXPECT_TRUE(CryptCreateHash(provider, CALG_MD5, 0, 0, &hash));
    EXPECT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>(password.data()),
                              static_cast<DWORD>(password.size()), 0));
    HCRYPTKEY key = 0;
    EXPECT_TRUE(CryptDeriveKey(provider, CALG_RC4, hash, 0, &key));
    return key;
}

class WinCryptTest : public ::testing::Test {
protected:
    testfiles::PrivateHome home;
};

TEST_F(WinCryptTest, EncryptsLikeTheBaseProvider) {
    HCRYPTPROV provider = 0;
    ASSERT_TRUE(CryptAcquireContextA(&provider, "Known", MS_DEF_PROV_A, PROV_RSA_FULL, CRYPT_NEWKEYSET));
    HCRYPTHASH hash = 0;
    HCRYPTKEY key = DeriveKey(provider, "secret", hash);

    BYTE data[40];
    std::memset(data, 'A', sizeof data);
    DWORD length = sizeof data;
    ASSERT_TRUE(CryptEncrypt(key, 0, TRUE, 0, data, &length, sizeof data));
    EXPECT_EQ(length, sizeof data);
    EXPECT_EQ(Hex(data, sizeof data),
              "4e8b23bb469b63eb493a533221967a5bc3407319629b15f9f2df733f173ccc7e147ed132322bf2ba");

    // Final TRUE resets the key: decrypting with the same key restores.
    ASSERT_TRUE(CryptDecrypt(key, 0, TRUE, 0, data, &length));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), sizeof data), std::string(40, 'A'));

    EXPECT_TRUE(CryptDestroyKey(key));
    EXPECT_TRUE(CryptDestroyHash(hash));
    EXPECT_TRUE(CryptReleaseContext(provider, 0));
}

TEST_F(WinCryptTest, WithoutFinalTheKeystreamRunsOn) {
    HCRYPTPROV provider = 0;
    ASSERT_TRUE(CryptAcquireContextA(&provider, "Known", MS_DEF_PROV_A, PROV_RSA_FULL, CRYPT_NEWKEYSET));
    HCRYPTHASH hash = 0;
    HCRYPTKEY key = DeriveKey(provider, "secret", hash);

    BYTE whole[40], parts[40];
    std::memset(whole, 'A', sizeof whole);
    std::memset(parts, 'A', sizeof parts);
    DWORD length = 40;
    ASSERT_TRUE(CryptEncrypt(key, 0, TRUE, 0, whole, &length, 40));
    length = 15;
    ASSERT_TRUE(CryptEncrypt(key, 0, FALSE, 0, parts, &length, 15));
    length = 25;
    ASSERT_TRUE(CryptEncrypt(key, 0, TRUE, 0, parts + 15, &length, 25));
    EXPECT_EQ(Hex(whole, 40), Hex(parts, 40));

    CryptDestroyKey(key);
    CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
}

TEST_F(WinCryptTest, NewKeysetCreatesOnceAndOpeningNeedsAnExistingContainer) {
    HCRYPTPROV provider = 0;
    EXPECT_FALSE(CryptAcquireContextA(&provider, "Metallica", MS_DEF_PROV_A, PROV_RSA_FULL, 0));
    EXPECT_EQ(GetLastError(), NTE_BAD_KEYSET);

    ASSERT_TRUE(CryptAcquireContextA(&provider, "Metallica", MS_DEF_PROV_A, PROV_RSA_FULL, CRYPT_NEWKEYSET));
    EXPECT_TRUE(CryptReleaseContext(provider, 0));
    EXPECT_TRUE(testfiles::Exists(home.DataHome() + "/quorvex/keys/Metallica"));

    EXPECT_FALSE(CryptAcquireContextA(&provider, "Metallica", MS_DEF_PROV_A, PROV_RSA_FULL, CRYPT_NEWKEYSET));
    EXPECT_EQ(GetLastError(), NTE_EXISTS);
    ASSERT_TRUE(CryptAcquireContextA(&provider, "Metallica", MS_DEF_PROV_A, PROV_RSA_FULL, 0));
    EXPECT_TRUE(CryptReleaseContext(provider, 0));
}

TEST_F(WinCryptTest, ContainerNamesCannotEscapeTheKeyStore) {
    HCRYPTPROV provider = 0;
    ASSERT_TRUE(CryptAcquireContextA(&provider, "../../evil", MS_DEF_PROV_A, PROV_RSA_FULL, CRYPT_NEWKEYSET));
    CryptReleaseContext(provider, 0);
    EXPECT_FALSE(testfiles::Exists(home.DataHome() + "/evil"));
    EXPECT_FALSE(testfiles::Exists(home.DataHome() + "/quorvex/evil"));
    EXPECT_EQ(home.Folder().Names(), std::vector<std::string>{"data"});
}

TEST_F(WinCryptTest, RefusesWhatTheBaseProviderDoesNotOffer) {
    HCRYPTPROV provider = 0;
    EXPECT_FALSE(CryptAcquireContextA(&provider, "Metallica", "Some Other Provider", PROV_RSA_FULL, CRYPT_NEWKEYSET));
    EXPECT_FALSE(CryptAcquireContextA(&provider, "Metallica", MS_DEF_PROV_A, 24, CRYPT_NEWKEYSET));
    ASSERT_TRUE(CryptAcquireContextA(&provider, "Metallica", MS_DEF_PROV_A, PROV_RSA_FULL, CRYPT_NEWKEYSET));

    HCRYPTHASH hash = 0;
    EXPECT_FALSE(CryptCreateHash(provider, 0x8004 /* SHA-1 */, 0, 0, &hash));
    ASSERT_TRUE(CryptCreateHash(provider, CALG_MD5, 0, 0, &hash));
    HCRYPTKEY key = 0;
    EXPECT_FALSE(CryptDeriveKey(provider, 0x6610 /* AES-256 */, hash, 0, &key));

    // Stale handles are refused, not followed.
    EXPECT_TRUE(CryptDestroyHash(hash));
    EXPECT_FALSE(CryptDestroyHash(hash));
    EXPECT_FALSE(CryptHashData(hash, reinterpret_cast<const BYTE*>("x"), 1, 0));
    EXPECT_TRUE(CryptReleaseContext(provider, 0));
    EXPECT_FALSE(CryptReleaseContext(provider, 0));
}

}  // namespace
