// The settings store on hives that are damaged, odd or huge, and under two
// processes that change the setting at the same time; and what quorvex-cli
// says when it cannot read the setting.

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/RegistryHive.h"
#include "settings/LockExtension.h"
#include "settings/RegistryManager.h"
#include "tests/proof/ProofSupport.h"
#include "tests/support/TestFiles.h"

namespace {

using namespace proof;
using testfiles::PatternBytes;
using testfiles::TempFolder;
using testfiles::WriteFile;
using Names = std::vector<std::string>;

constexpr char BaseKey[] = "HKEY_CURRENT_USER\\Software\\Orvandel Software\\Sildra";

std::string EntryKey(const std::string& entry) { return BaseKey + ("\\" + entry); }

// The message of the registry error `operation` raises, or "" for none.
template <typename Operation>
std::string Raised(Operation operation) {
    try {
        operation();
    } catch (const ERegistryException& error) {
        return error.Message().empty() ? "(an empty message)" : error.Message();
    }
    return "";
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class SettingsProof : public ::testing::Test {
protected:
    std::string Hive() const { return TRegistry::HivePath(); }
    void PutHive(const Bytes& text) const {
        std::filesystem::create_directories(std::filesystem::path(Hive()).parent_path());
        WriteFile(Hive(), text);
    }

    testfiles::PrivateHome home;
    RegistryManager store{SettingsCompany, SettingsProduct};
};

// A hive as the program itself leaves it, cut after every byte: each cut
// either reads as what had been written so far or is refused naming the
// file and the line, is never overwritten, and never yields a text that
// was not stored (a cut "FALSE" must not read as "FAL").
TEST_F(SettingsProof, AHiveCutAnywhereReadsWholeValuesOrIsRefusedAndKept) {
    store.WriteEntry(LockExtensionEntry, "FALSE");
    store.WriteEntry(InstallationDirectoryEntry, "/opt/quorvex");
    const Bytes whole = Contents(Hive());

    int refused = 0;
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        const Bytes cut = whole.substr(0, length);
        SCOPED_TRACE(::testing::PrintToString(cut));
        PutHive(cut);
        std::string setting = "(not read)";
        const std::string readError = Raised([&] { setting = store.ReadEntry(LockExtensionEntry); });
        if (!readError.empty()) {
            ++refused;
            EXPECT_TRUE(Contains(readError, "'" + Hive() + "' is damaged at line ")) << readError;
            EXPECT_NE(Raised([&] { store.WriteEntry(LockExtensionEntry, "TRUE"); }), "");
            EXPECT_EQ(Contents(Hive()), cut) << "a damaged hive was overwritten";
            continue;
        }
        EXPECT_TRUE(setting == "" || setting == "FALSE") << setting;
        const std::string directory = store.ReadEntry(InstallationDirectoryEntry);
        EXPECT_TRUE(directory == "" || directory == "/opt/quorvex") << directory;

        // Whatever could be read is kept by the next write.
        store.WriteEntry(LockExtensionEntry, "TRUE");
        EXPECT_EQ(store.ReadEntry(LockExtensionEntry), "TRUE");
        EXPECT_EQ(store.ReadEntry(InstallationDirectoryEntry), directory);
    }
    EXPECT_GT(refused, 0);
    EXPECT_LT(refused, static_cast<int>(whole.size()));
}

// Values of every type around the setting, and lines far longer than any
// the program writes: the setting reads by its type, and writing it keeps
// every other value byte for byte.
TEST_F(SettingsProof, WritingTheSettingKeepsEveryOtherValueOfEveryTypeAndSize) {
    const std::string longText(2 << 20, 't');
    std::string longHex;
    for (int n = 0; n < (1 << 18); ++n) longHex += "5a,";
    longHex += "00";
    const Bytes hive =
        "REGEDIT4\n"
        "; a comment line " + std::string(100000, 'c') + "\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
        "@=\"default of the key\"\n"
        "\"Text\"=\"" + longText + "\"\n"
        "\"Hex\"=hex:" + longHex + "\n"
        "\"Dword\"=dword:ffffffff\n"
        "\"Expand\"=hex(2):25,48,4f,4d,45,25,00\n"
        "\"Multi\"=hex(7):61,00,62,00,00,00\n"
        "\"None\"=hex(0):\n"
        "\"Own type\"=hex(12345678):01,02,\\\n"
        "  03\n"
        "\"Quotes \\\"and\\\\ backslash\"=\"\\\"\\\\\"\n"
        "[HKEY_CURRENT_USER\\Software\\Orvandel Software\\Sildra\\LockExtensionEntry]\n"
        "\"Value\"=dword:00000001\n";
    PutHive(hive);
    const RegistryHive before = RegistryHive::Parse(hive);

    EXPECT_EQ(Raised([&] { store.ReadEntry(LockExtensionEntry); }), "Invalid data type for 'Value'");
    store.WriteEntry(LockExtensionEntry, "TRUE");
    EXPECT_EQ(store.ReadEntry(LockExtensionEntry), "TRUE");

    const RegistryHive after = RegistryHive::Parse(Contents(Hive()));
    const std::string other = "HKEY_CURRENT_USER\\Software\\Other";
    ASSERT_EQ(after.ValueNames(other), before.ValueNames(other));
    for (const std::string& name : before.ValueNames(other)) {
        SCOPED_TRACE(name);
        ASSERT_NE(after.FindValue(other, name), nullptr);
        EXPECT_TRUE(*after.FindValue(other, name) == *before.FindValue(other, name));
    }
    EXPECT_EQ(after.FindValue(other, "Text")->data.size(), longText.size() + 1);

    // The setting in each type the file can hold.
    const std::pair<std::string, std::string> types[] = {
        {"\"TRUE\"", "TRUE"},
        {"hex(2):54,52,55,45,00", "TRUE"},
        {"hex(2):", ""},
        {"hex:", ""},
        {"hex:54,52,55,45,00", "Invalid data type for 'Value'"},
        {"hex(7):54,52,55,45,00,00", "Invalid data type for 'Value'"},
        {"hex(0):00", "Invalid data type for 'Value'"},
        {"dword:00000000", "Invalid data type for 'Value'"},
    };
    for (const auto& [stored, read] : types) {
        SCOPED_TRACE(stored);
        PutHive("REGEDIT4\n[" + EntryKey(LockExtensionEntry) + "]\n\"Value\"=" + stored + "\n");
        std::string text;
        const std::string error = Raised([&] { text = store.ReadEntry(LockExtensionEntry); });
        EXPECT_EQ(error.empty() ? text : error, read);
    }
}

// What the command line makes of the stored setting in each state of the
// hive file. Decryption never needs the setting.
TEST_F(SettingsProof, TheCommandLineNamesTheHiveItCannotReadAndConvertsNothing) {
    struct Case {
        const char* what;
        Bytes hive;
        bool fifo;
        std::string encryptedName;  // "" when encryption is refused
        std::string problem;        // part of the refusal
    };
    const std::string setting = "[" + EntryKey(LockExtensionEntry) + "]\r\n\"Value\"=";
    const Case cases[] = {
        {"an empty file", "", false, "a.locked", ""},
        {"only the first line", "REGEDIT4\r\n", false, "a.locked", ""},
        {"the setting off, among long lines",
         "REGEDIT4\r\n; " + std::string(1 << 20, 'c') + "\r\n" + setting + "\"FALSE\"\r\n", false, "a", ""},
        {"cut inside the setting's text", "REGEDIT4\r\n\r\n" + setting + "\"FAL", false, "",
         "is damaged at line 4 (the text has no closing quote)"},
        {"binary garbage", PatternBytes(4096, 9), false, "", "is damaged at line 1"},
        {"the setting as a number", "REGEDIT4\r\n" + setting + "dword:00000001\r\n", false, "",
         "Invalid data type for 'Value'"},
        {"a pipe in place of the file", "", true, "", "cannot be read"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        testfiles::PrivateHome caseHome;
        TempFolder folder;
        if (test.fifo) {
            std::filesystem::create_directories(std::filesystem::path(Hive()).parent_path());
            ASSERT_EQ(mkfifo(Hive().c_str(), 0600), 0);
        } else {
            PutHive(test.hive);
        }
        const Snapshot hiveBefore = TakeSnapshot(caseHome.ConfigHome());
        const Bytes plain = PatternBytes(5000, 2);
        WriteFile(folder / "a", plain);

        const Outcome encrypted = RunCli(folder.Path(), {"encrypt", "--password-stdin", "a"});

        EXPECT_FALSE(encrypted.hung);
        if (!test.encryptedName.empty()) {
            EXPECT_EQ(encrypted.status, 0);
            EXPECT_EQ(encrypted.err, "");
            EXPECT_EQ(folder.Names(), Names{test.encryptedName});
        } else {
            EXPECT_EQ(encrypted.status, 1);
            const std::string start = "quorvex-cli: cannot read the setting for the \".locked\" suffix (entry "
                                      "LockExtensionEntry in " + Hive() + "): ";
            const std::string end = "\nquorvex-cli: choose with --suffix or --no-suffix\n";
            EXPECT_EQ(encrypted.err.rfind(start, 0), 0u) << encrypted.err;
            EXPECT_TRUE(encrypted.err.ends_with(end)) << encrypted.err;
            EXPECT_TRUE(Contains(encrypted.err, test.problem)) << encrypted.err;
            EXPECT_EQ(folder.Names(), Names{"a"});
            EXPECT_EQ(Contents(folder / "a"), plain);

            const Outcome forced = RunCli(folder.Path(), {"encrypt", "--password-stdin", "--suffix", "a"});
            EXPECT_EQ(forced.status, 0) << forced.err;
        }
        if (testfiles::Exists(folder / "a.locked")) {
            const Outcome decrypted = RunCli(folder.Path(), {"decrypt", "--password-stdin", "a.locked"});
            EXPECT_EQ(decrypted.status, 0) << decrypted.err;
            EXPECT_EQ(folder.Names(), Names{"a"});
            EXPECT_EQ(Contents(folder / "a"), plain);
        }
        EXPECT_TRUE(TakeSnapshot(caseHome.ConfigHome()) == hiveBefore) << "the hive was changed";
    }
}

// Two processes toggle the setting 1,000 times each at the same time, each
// also counting its toggles in an entry of its own, while a third reads
// along. The hive must parse at every moment, no count may ever go back (a
// change written over one it had not seen), and the end must hold the last
// write: the first writer makes its last toggle only after the second has
// finished, and the two end on different values.
TEST_F(SettingsProof, TwoProcessesTogglingTogetherLoseNothingAndTheLastWriteWins) {
    constexpr int Toggles = 1000;
    // Pipes only: `start` lets all three begin at once, `secondDone` holds
    // the first writer's last toggle back, and `writing` stays open while
    // any writer lives, so the reader stops when they are gone.
    int start[2], secondDone[2], writing[2];
    ASSERT_EQ(pipe(start), 0);
    ASSERT_EQ(pipe(secondDone), 0);
    ASSERT_EQ(pipe(writing), 0);
    const auto countKey = [](const std::string& writer) { return "Toggles by " + writer; };

    const auto toggle = [&](const std::string& writer, bool firstValue, bool isFirst) -> std::string {
        close(start[1]);
        // Only the second writer may hold the end the first waits on, so the
        // first learns of its end however it ends.
        close(isFirst ? secondDone[1] : secondDone[0]);
        close(writing[0]);
        char byte;
        if (read(start[0], &byte, 1) != 1) return writer + " was never started";
        RegistryManager writerStore{SettingsCompany, SettingsProduct};
        for (int n = 1; n <= Toggles; ++n) {
            if (isFirst && n == Toggles && read(secondDone[0], &byte, 1) != 1)
                return "the second writer never finished";
            writerStore.WriteEntry(LockExtensionEntry, LockExtensionText(firstValue == (n % 2 == 1)));
            writerStore.WriteEntry(countKey(writer), std::to_string(n));
        }
        if (!isFirst && write(secondDone[1], "d", 1) != 1) return "cannot tell the first writer";
        return "";
    };

    const auto readAlong = [&]() -> std::string {
        close(start[1]);
        close(secondDone[0]);
        close(secondDone[1]);
        close(writing[1]);
        char byte;
        if (read(start[0], &byte, 1) != 1) return "the reader was never started";
        RegistryManager readerStore{SettingsCompany, SettingsProduct};
        std::map<std::string, int> lastCount{{"first", 0}, {"second", 0}};
        bool settingSeen = false;
        bool bothMidway = false;
        int reads = 0;
        pollfd writers{writing[0], POLLIN, 0};
        while (lastCount["first"] < Toggles || lastCount["second"] < Toggles) {
            if (poll(&writers, 1, 0) == 1) break;  // both gone: they say what went wrong
            if (!testfiles::Exists(TRegistry::HivePath())) continue;
            ++reads;
            const Bytes text = Contents(TRegistry::HivePath());
            RegistryHive hive;
            try {
                hive = RegistryHive::Parse(text);
            } catch (const RegistryParseError& error) {
                return std::string("the hive did not parse: ") + error.what() + "\n" + text;
            }
            for (auto& [writer, last] : lastCount) {
                const RegistryValue* value = hive.FindValue(EntryKey(countKey(writer)), "Value");
                if (!value) continue;
                const int count = std::stoi(std::string(value->data.begin(), value->data.end()));
                if (count < last)
                    return writer + "'s count went back from " + std::to_string(last) + " to " +
                           std::to_string(count);
                last = count;
            }
            const int first = lastCount["first"], second = lastCount["second"];
            bothMidway = bothMidway || (first > 0 && first < Toggles && second > 0 && second < Toggles);

            const std::string setting = readerStore.ReadEntry(LockExtensionEntry);
            if (setting == "TRUE" || setting == "FALSE")
                settingSeen = true;
            else if (!setting.empty() || settingSeen)
                return "the setting read as \"" + setting + "\"";
        }
        if (!bothMidway)
            return "the writers never ran at the same time (" + std::to_string(reads) + " reads)";
        return "";
    };

    ChildCheck first([&] { return toggle("first", true, true); });
    ChildCheck second([&] { return toggle("second", false, false); });
    ChildCheck reader(readAlong);
    for (int end : {start[0], secondDone[0], secondDone[1], writing[0], writing[1]}) close(end);
    EXPECT_EQ(write(start[1], "ggg", 3), 3);  // all three begin at once
    close(start[1]);

    EXPECT_EQ(first.Complaint(), "");
    EXPECT_EQ(second.Complaint(), "");
    EXPECT_EQ(reader.Complaint(), "");

    // The first writer ends on "FALSE", the second on "TRUE" before it.
    EXPECT_EQ(store.ReadEntry(LockExtensionEntry), "FALSE");
    EXPECT_EQ(store.ReadEntry(countKey("first")), std::to_string(Toggles));
    EXPECT_EQ(store.ReadEntry(countKey("second")), std::to_string(Toggles));
}

}  // namespace
