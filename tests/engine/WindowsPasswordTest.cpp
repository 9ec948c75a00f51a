#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "engine/CheckPhrase.h"
#include "engine/FileManager.h"
#include "engine/WindowsPassword.h"
#include "tests/support/TestFiles.h"

namespace {

TEST(WindowsPasswordTest, GivesTheWindows1252BytesOnlyWhereTheyDiffer) {
    struct Case {
        const char* utf8;
        std::optional<std::string> windows;
    };
    const Case cases[] = {
        {"caf\xC3\xA9", std::string("caf\xE9")},                     // é
        {"\xE2\x82\xAC" "100", std::string("\x80" "100")},          // €
        {"\xC5\x93\xC3\xBF\xE2\x80\x94", std::string("\x9C\xFF\x97")},  // œ ÿ —
        {"plain ascii", std::nullopt},                              // the same bytes
        {"", std::nullopt},
        {"\xD0\xB4\xD0\xB0", std::nullopt},                          // Cyrillic: not representable
        {"\xC2\x81", std::nullopt},                                  // a C1 control
        {"caf\xE9", std::nullopt},                                   // not UTF-8 at all
        {"\xC3", std::nullopt},                                      // cut short
        {"\xC0\xA9", std::nullopt},                                  // overlong
        {"\xED\xA0\x80", std::nullopt},                              // a surrogate
    };
    for (const Case& c : cases) EXPECT_EQ(Windows1252Password(c.utf8), c.windows) << c.utf8;
}

TEST(WindowsPasswordTest, OpensAFileEncryptedUnderTheWindowsBytes) {
    testfiles::PrivateHome home;
    testfiles::TempFolder folder;
    const std::string file = folder / "letter.txt";
    testfiles::WriteFile(file, "Bonjour");
    FileManager fileManager(CheckPhrase);
    ASSERT_TRUE(fileManager.EncryptInPlace(file.c_str(), "caf\xE9"));  // as typed on Windows

    EXPECT_FALSE(DecryptAcceptingWindowsPassword(fileManager, file.c_str(), "cafe"));
    EXPECT_EQ(fileManager.LastFailure().reason, FailureReason::WrongPassword);
    EXPECT_TRUE(DecryptAcceptingWindowsPassword(fileManager, file.c_str(), "caf\xC3\xA9"));
    EXPECT_EQ(testfiles::ReadFile(file), "Bonjour");

    // A file made here with the UTF-8 bytes opens with them directly.
    ASSERT_TRUE(fileManager.EncryptInPlace(file.c_str(), "caf\xC3\xA9"));
    EXPECT_TRUE(DecryptAcceptingWindowsPassword(fileManager, file.c_str(), "caf\xC3\xA9"));
    EXPECT_EQ(testfiles::ReadFile(file), "Bonjour");
}

}  // namespace
