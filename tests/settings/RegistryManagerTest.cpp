#include "settings/RegistryManager.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/RegistryHive.h"
#include "settings/LockExtension.h"
#include "tests/support/TestFiles.h"

using namespace testfiles;

namespace {

constexpr char BaseKey[] = "HKEY_CURRENT_USER\\Software\\Orvandel Software\\Sildra";

class SettingsStore : public ::testing::Test {
protected:
    RegistryHive StoredHive() const { return RegistryHive::Parse(ReadFile(TRegistry::HivePath())); }
    static std::string EntryKey(const std::string& entry) { return BaseKey + ("\\" + entry); }
    // Puts a value the store itself never writes, as another program might.
    void StoreRaw(const std::string& entry, std::uint32_t type, std::vector<std::uint8_t> data) {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey("\\Software\\Orvandel Software\\Sildra\\" + entry, true));
        registry.WriteRawValue("Value", type, data);
    }
    // The message the store raised, or "" when it raised none.
    template <typename Operation>
    static std::string Raised(Operation operation) {
        try {
            operation();
        } catch (const ERegistryException& error) {
            return error.Message();
        }
        return "";
    }

    PrivateHome home;
    RegistryManager store{SettingsCompany, SettingsProduct};
};

TEST_F(SettingsStore, AFreshUserHasNoEntriesAndReadingCreatesNothing) {
    EXPECT_EQ(store.ReadEntry(LockExtensionEntry), "");
    EXPECT_FALSE(store.EntryExists(LockExtensionEntry));
    EXPECT_FALSE(Exists(home.ConfigHome()));
}

TEST_F(SettingsStore, WriteEntryStoresTheTextAndOneNulInTheEntrysOwnKey) {
    store.WriteEntry(LockExtensionEntry, "TRUE");
    store.WriteEntry("Other", "");

    const RegistryHive stored = StoredHive();
    const RegistryValue* value = stored.FindValue(EntryKey(LockExtensionEntry), "Value");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*value, (RegistryValue{REG_SZ, {'T', 'R', 'U', 'E', 0}}));
    EXPECT_EQ(stored.ValueNames(EntryKey(LockExtensionEntry)), std::vector<std::string>{"Value"});
    EXPECT_EQ(*stored.FindValue(EntryKey("Other"), "Value"), (RegistryValue{REG_SZ, {0}}));
    EXPECT_EQ(stored.ValueNames(BaseKey), std::vector<std::string>{});

    EXPECT_TRUE(store.EntryExists(LockExtensionEntry));
    EXPECT_EQ(store.ReadEntry(LockExtensionEntry), "TRUE");
    EXPECT_TRUE(store.EntryExists("Other"));
    EXPECT_EQ(store.ReadEntry("Other"), "");
}

TEST_F(SettingsStore, ReadingAMissingEntryGivesNothingWhateverCameBefore) {
    store.WriteEntry(LockExtensionEntry, "FALSE");
    EXPECT_EQ(store.ReadEntry(InstallationDirectoryEntry), "");
    EXPECT_EQ(store.ReadEntry(LockExtensionEntry), "FALSE");
    EXPECT_EQ(store.ReadEntry(InstallationDirectoryEntry), "");
    EXPECT_FALSE(store.EntryExists(InstallationDirectoryEntry));
    EXPECT_EQ(store.ReadEntry("lockextensionENTRY"), "FALSE");  // names ignore case
}

TEST_F(SettingsStore, EntryKeyWithoutValueExistsAndReadsEmpty) {
    TRegistry registry;
    ASSERT_TRUE(
        registry.OpenKey("\\Software\\Orvandel Software\\Sildra\\LockExtensionEntry", true));
    EXPECT_TRUE(store.EntryExists(LockExtensionEntry));
    EXPECT_EQ(store.ReadEntry(LockExtensionEntry), "");
}

TEST_F(SettingsStore, ValuesOfOtherTypesReadByTheirType) {
    StoreRaw("Dword", REG_DWORD, {1, 0, 0, 0});
    StoreRaw("EmptyBinary", REG_BINARY, {});
    StoreRaw("Expand", REG_EXPAND_SZ, {'%', 'H', 'O', 'M', 'E', '%', '\\', 'x', 0});

    EXPECT_EQ(Raised([&] { store.ReadEntry("Dword"); }), "Invalid data type for 'Value'");
    EXPECT_EQ(store.ReadEntry("EmptyBinary"), "");
    EXPECT_EQ(store.ReadEntry("Expand"), "%HOME%\\x");

    store.WriteEntry("Dword", "now text");
    EXPECT_EQ(*StoredHive().FindValue(EntryKey("Dword"), "Value"),
              (RegistryValue{REG_SZ, {'n', 'o', 'w', ' ', 't', 'e', 'x', 't', 0}}));
    EXPECT_EQ(store.ReadEntry("Dword"), "now text");
}

TEST_F(SettingsStore, AnEntryThatCannotBeAKeyFailsToWriteAndChangesNothing) {
    store.WriteEntry(LockExtensionEntry, "TRUE");
    const Bytes before = ReadFile(TRegistry::HivePath());
    for (const std::string& entry : {std::string(""), std::string("a\\\\b"), std::string("a\nb"),
                                     std::string(256, 'e')}) {
        EXPECT_EQ(Raised([&] { store.WriteEntry(entry, "x"); }), "Failed to set data for 'Value'");
        EXPECT_EQ(store.ReadEntry(entry), "");
        EXPECT_FALSE(store.EntryExists(entry));
    }
    EXPECT_EQ(ReadFile(TRegistry::HivePath()), before);
}

TEST_F(SettingsStore, StoresAliveTogetherSeeEachOthersEntries) {
    {
        RegistryManager second{SettingsCompany, SettingsProduct};
        second.WriteEntry(LockExtensionEntry, "FALSE");
        EXPECT_EQ(store.ReadEntry(LockExtensionEntry), "FALSE");
    }
    store.WriteEntry(LockExtensionEntry, "TRUE");  // still works after the other went
    RegistryManager otherProduct{SettingsCompany, "Other"};
    EXPECT_EQ(otherProduct.ReadEntry(LockExtensionEntry), "");
    EXPECT_EQ(store.ReadEntry(LockExtensionEntry), "TRUE");
}

// Two processes writing at the same moment: the lock makes each change see
// the other's, so every entry written by either is there in the end.
TEST_F(SettingsStore, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int writes = 60;
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    auto writeEntries = [&](const std::string& prefix) {
        RegistryManager writer{SettingsCompany, SettingsProduct};
        for (int i = 0; i < writes; ++i) {
            std::string entry = prefix + std::to_string(i);
            writer.WriteEntry(entry, entry + " text");
            if (writer.ReadEntry(entry) != entry + " text") return false;
        }
        return true;
    };

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(go[1]);
        char start;
        bool ok = read(go[0], &start, 1) == 1;
        try {
            ok = writeEntries("Child") && ok;
        } catch (...) {
            ok = false;
        }
        _exit(ok ? 0 : 1);
    }
    close(go[0]);
    ASSERT_EQ(write(go[1], "g", 1), 1);
    close(go[1]);
    bool parentOk = false;
    std::string parentError;
    try {
        parentOk = writeEntries("Parent");
    } catch (const ERegistryException& error) {
        parentError = error.Message();
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(parentOk) << parentError;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const RegistryHive stored = StoredHive();
    for (const std::string prefix : {"Child", "Parent"}) {
        for (int i = 0; i < writes; ++i) {
            std::string entry = prefix + std::to_string(i);
            const RegistryValue* value = stored.FindValue(EntryKey(entry), "Value");
            ASSERT_NE(value, nullptr) << entry;
            EXPECT_EQ(std::string(value->data.begin(), value->data.end()),
                      entry + " text" + std::string(1, '\0'));
        }
    }
}

}  // namespace
