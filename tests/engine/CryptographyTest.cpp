// The cipher service's calls, error lines and clean-up, against a CryptoAPI
// that fails on request.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/Cryptography.h"
#include "tests/engine/FailingWinCrypt.h"

namespace {

using Calls = std::vector<std::string>;

class CryptographyTest : public ::testing::Test {
protected:
    void SetUp() override { fake().Reset(); }
    static FailingWinCrypt& fake() { return FailingWinCrypt::Instance(); }
};

TEST_F(CryptographyTest, AcquiresTheContainerByCreatingItFirstThenByOpeningIt) {
    {
        Cryptography cryptography;
        EXPECT_EQ(fake().calls, Calls{"CryptAcquireContextA 8"});
    }
    EXPECT_EQ(fake().calls, (Calls{"CryptAcquireContextA 8", "CryptReleaseContext"}));

    fake().Reset();
    fake().failing = {"CryptAcquireContextA"};
    testing::internal::CaptureStdout();
    {
        Cryptography cryptography;
        unsigned char buffer[4] = {1, 2, 3, 4};
        EXPECT_FALSE(cryptography.Encrypt(4, buffer, "pw"));
        EXPECT_FALSE(cryptography.Decrypt(4, buffer, "pw"));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "\x01\x02\x03\x04");
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error during CryptAcquireContext for a new key container.\n"
              "A container with this name probably already exists.\n"
              "No handle to cryptography key container.\n"
              "No handle to cryptography key container.\n");
    // Both attempts made, nothing released that was never acquired.
    EXPECT_EQ(fake().calls, (Calls{"CryptAcquireContextA 8", "CryptAcquireContextA 0"}));
}

TEST_F(CryptographyTest, HashesThePasswordBytesAndCleansUpInOrder) {
    Cryptography cryptography;
    unsigned char buffer[33] = {};
    fake().calls.clear();
    ASSERT_TRUE(cryptography.Encrypt(33, buffer, "secret"));
    ASSERT_GE(fake().calls.size(), 6u);
    EXPECT_EQ(Calls(fake().calls.begin(), fake().calls.begin() + 4),
              (Calls{"CryptCreateHash 32771", "CryptHashData 6", "CryptDeriveKey 26625", "CryptEncrypt 33"}));
    EXPECT_EQ(Calls(fake().calls.end() - 2, fake().calls.end()),
              (Calls{"CryptDestroyKey", "CryptDestroyHash"}));

    fake().calls.clear();
    ASSERT_TRUE(cryptography.Decrypt(10, buffer, ""));
    EXPECT_EQ(fake().calls[1], "CryptHashData 0");  // an empty password is zero bytes
    EXPECT_EQ(fake().calls[3], "CryptDecrypt 10");
}

TEST_F(CryptographyTest, ReusesTheKeystreamOfTheSamePasswordOnly) {
    Cryptography cryptography;
    unsigned char first[1024] = {}, again[1024] = {}, other[16] = {};
    ASSERT_TRUE(cryptography.Encrypt(1024, first, "secret"));
    fake().calls.clear();
    ASSERT_TRUE(cryptography.Encrypt(1024, again, "secret"));
    EXPECT_TRUE(fake().calls.empty());
    EXPECT_EQ(0, memcmp(first, again, sizeof first));

    ASSERT_TRUE(cryptography.Encrypt(16, other, "Secret"));
    EXPECT_FALSE(fake().calls.empty());
}

struct FailureCase {
    const char* failingCall;
    bool wrongLength;
    bool encrypt;
    const char* line;
    bool bufferUntouched;
    Calls cleanup;
};

class CryptographyFailureTest : public CryptographyTest,
                                public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CryptographyFailureTest, ReportsOneLineAndReleasesWhatItMade) {
    const FailureCase& c = GetParam();
    Cryptography cryptography;
    if (*c.failingCall) fake().failing = {c.failingCall};
    fake().wrongLength = c.wrongLength;
    fake().calls.clear();

    unsigned char buffer[8] = {'p', 'l', 'a', 'i', 'n', 't', 'x', 't'};
    testing::internal::CaptureStdout();
    bool result = c.encrypt ? cryptography.Encrypt(8, buffer, "pw") : cryptography.Decrypt(8, buffer, "pw");
    EXPECT_FALSE(result);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(c.line) + "\n");
    if (c.bufferUntouched) {
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 8), "plaintxt");
    }

    Calls destroyed;
    for (const auto& call : fake().calls)
        if (call.rfind("CryptDestroy", 0) == 0) destroyed.push_back(call);
    EXPECT_EQ(destroyed, c.cleanup);

    // A failed call leaves nothing behind: the next one starts afresh.
    fake().failing.clear();
    fake().wrongLength = false;
    EXPECT_TRUE(cryptography.Encrypt(8, buffer, "pw"));
}

const Calls KeyAndHash{"CryptDestroyKey", "CryptDestroyHash"};

INSTANTIATE_TEST_SUITE_P(
    EveryErrorLine, CryptographyFailureTest,
    ::testing::Values(
        FailureCase{"CryptCreateHash", false, true, "Error during CryptCreateHash.", true, {}},
        FailureCase{"CryptHashData", false, true, "Error during CryptHashData.", true, {"CryptDestroyHash"}},
        FailureCase{"CryptDeriveKey", false, false, "Error during CryptDeriveKey.", true, {"CryptDestroyHash"}},
        FailureCase{"CryptEncrypt", false, true, "Error during CryptEncrypt.", false, KeyAndHash},
        FailureCase{"CryptDecrypt", false, false, "Error during CryptDecrypt.", false, KeyAndHash},
        FailureCase{"", true, true, "Error in returned length from CryptEncrypt.", false, KeyAndHash},
        FailureCase{"", true, false, "Error in returned length from CryptDecrypt.", false, KeyAndHash}));

}  // namespace
