// The cipher service over the real stand-in: reusing a password's keystream
// must give exactly what a fresh key derivation gives.

#include <gtest/gtest.h>

#include <string>

#include "engine/Cryptography.h"
#include "tests/support/TestFiles.h"

namespace {

std::string Transformed(Cryptography& cryptography, std::string bytes, const char* password,
                        bool encrypt) {
    auto* data = reinterpret_cast<unsigned char*>(bytes.data());
    int length = static_cast<int>(bytes.size());
    EXPECT_TRUE(encrypt ? cryptography.Encrypt(length, data, password)
                        : cryptography.Decrypt(length, data, password));
    return bytes;
}

TEST(CryptographyKeystreamTest, EveryCallEqualsAFreshDerivation) {
    testfiles::PrivateHome home;
    Cryptography reused;
    const char* passwords[] = {"secret", "Secret", "", "secret", "p\xE4ss", "secret"};
    unsigned seed = 0;
    for (const char* password : passwords) {
        for (std::size_t length : {1ul, 33ul, 1000ul, 1024ul, 1500ul}) {
            SCOPED_TRACE(std::string(password) + " " + std::to_string(length));
            const std::string plain = testfiles::PatternBytes(length, ++seed);
            Cryptography fresh;
            const std::string expected = Transformed(fresh, plain, password, true);
            EXPECT_EQ(Transformed(reused, plain, password, seed % 2 == 0), expected);
            EXPECT_EQ(Transformed(reused, expected, password, false), plain);
        }
    }
}

}  // namespace
