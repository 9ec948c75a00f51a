#include "settings/LockExtension.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/RegistryManager.h"
#include "tests/support/TestFiles.h"

using namespace testfiles;

namespace {

TEST(LockExtensionSetting, IsOnExactlyWhenTheStoredTextIsTRUE) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"TRUE", true},   {"FALSE", false},  {"", false},      {"true", false},
        {"True", false},  {"TRUE ", false},  {" TRUE", false}, {"TRUE\n", false},
        {"1", false},     {"yes", false},    {std::string("TRUE\0", 5), false},
    };
    for (const auto& [text, on] : cases)
        EXPECT_EQ(LockExtensionIsOn(text), on) << '"' << text << '"';
    EXPECT_EQ(LockExtensionText(true), "TRUE");
    EXPECT_EQ(LockExtensionText(false), "FALSE");
}

TEST(LockExtensionSetting, DecryptedNameDropsOnlyAnExactSuffixAndKeepsAName) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"report.doc.locked", "report.doc"},
        {"/home/anna/a.locked.locked", "/home/anna/a.locked"},
        {"report.doc.LOCKED", std::nullopt},
        {"report.doc", std::nullopt},
        {".locked", std::nullopt},              // no name would be left
        {"/home/anna/.locked", std::nullopt},
        {"locked", std::nullopt},
    };
    for (const auto& [path, name] : cases) EXPECT_EQ(NameWithoutLockedSuffix(path), name) << path;
}

TEST(LockExtensionSetting, ReadingFollowsTheStoreAndNeverWrites) {
    struct Case {
        const char* stored;  // null: no entry at all
        bool on;
    };
    const std::vector<Case> cases = {
        {nullptr, true}, {"TRUE", true}, {"FALSE", false}, {"true", false}, {"", false},
    };
    for (const auto& c : cases) {
        PrivateHome home;
        RegistryManager store{SettingsCompany, SettingsProduct};
        if (c.stored) store.WriteEntry(LockExtensionEntry, c.stored);
        const bool hadFile = Exists(TRegistry::HivePath());
        const Bytes before = hadFile ? ReadFile(TRegistry::HivePath()) : "";

        EXPECT_EQ(ReadLockExtensionSetting(store), c.on) << (c.stored ? c.stored : "no entry");
        EXPECT_EQ(Exists(TRegistry::HivePath()), hadFile);
        if (hadFile) {
            EXPECT_EQ(ReadFile(TRegistry::HivePath()), before);
        }
    }
}

TEST(LockExtensionSetting, AnEntryKeyWithoutValueIsOff) {
    PrivateHome home;
    TRegistry registry;
    ASSERT_TRUE(
        registry.OpenKey("\\Software\\Orvandel Software\\Sildra\\LockExtensionEntry", true));
    RegistryManager store{SettingsCompany, SettingsProduct};
    EXPECT_FALSE(ReadLockExtensionSetting(store));
}

}  // namespace
