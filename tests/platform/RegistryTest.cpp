#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/RegistryHive.h"
#include "tests/support/TestFiles.h"

using namespace testfiles;

namespace {

constexpr char EntryKey[] =
    "HKEY_CURRENT_USER\\Software\\Orvandel Software\\Sildra\\LockExtensionEntry";

RegistryValue Raw(std::uint32_t type, std::string_view bytes) {
    return RegistryValue{type, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Hex(const std::vector<std::uint8_t>& data) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (auto byte : data) text += {digits[byte >> 4], digits[byte & 15], ' '};
    return text;
}

// ---------------------------------------------------------------- hive text

TEST(RegistryHiveText, EveryKindOfValueSurvivesWriteAndParseByteForByte) {
    using namespace std::string_view_literals;
    const std::vector<std::pair<std::string, RegistryValue>> values = {
        {"Value", Raw(REG_SZ, "TRUE\0"sv)},
        {"", Raw(REG_SZ, "the default value\0"sv)},
        {"Empty text", Raw(REG_SZ, "\0"sv)},
        {"No bytes", Raw(REG_SZ, ""sv)},
        {"No NUL", Raw(REG_SZ, "abc"sv)},
        {"Two NULs", Raw(REG_SZ, "a\0b\0"sv)},
        {"Line break", Raw(REG_SZ, "a\r\nb\0"sv)},
        {"Quotes \"and\" \\backslashes\\", Raw(REG_SZ, "C:\\dir\\\"x\"\\\0"sv)},
        {"@", Raw(REG_SZ, "a value named @, not the default\0"sv)},
        {"Eight-bit", Raw(REG_SZ, "gr\xC3\xBC\xC3\x9F" "e \xFF\0"sv)},
        {"Expand", Raw(REG_EXPAND_SZ, "%HOME%\\help\0"sv)},
        {"Dword", Raw(REG_DWORD, "\x04\x03\x02\x01"sv)},
        {"Short dword", Raw(REG_DWORD, "\x01\x02\x03"sv)},
        {"Empty binary", Raw(REG_BINARY, ""sv)},
        {"Long binary", Raw(REG_BINARY, PatternBytes(1000))},
        {"Multi", Raw(REG_MULTI_SZ, "one\0two\0\0"sv)},
        {"None", Raw(REG_NONE, "x"sv)},
        {"Qword", Raw(11, "\x01\x02\x03\x04\x05\x06\x07\x08"sv)},
        {"Largest type", Raw(0xFFFFFFFF, "z"sv)},
    };
    RegistryHive hive;
    ASSERT_TRUE(hive.CreateKey(EntryKey));
    for (const auto& [name, value] : values) ASSERT_TRUE(hive.SetValue(EntryKey, name, value));

    const std::string text = hive.Text();
    const RegistryHive parsed = RegistryHive::Parse(text);
    for (const auto& [name, value] : values) {
        const RegistryValue* read = parsed.FindValue(EntryKey, name);
        ASSERT_NE(read, nullptr) << name;
        EXPECT_EQ(read->type, value.type) << name;
        EXPECT_EQ(Hex(read->data), Hex(value.data)) << name;
    }
    EXPECT_EQ(parsed.ValueNames(EntryKey), hive.ValueNames(EntryKey));
    EXPECT_EQ(parsed.Text(), text);
}

TEST(RegistryHiveText, WritesTheExportFormatAsRegeditDoes) {
    using namespace std::string_view_literals;
    RegistryHive hive;
    hive.CreateKey(EntryKey);
    hive.SetValue(EntryKey, "Value", Raw(REG_SZ, "TRUE\0"sv));
    hive.SetValue(EntryKey, "Path", Raw(REG_SZ, "C:\\Program Files\\\"Q\"\0"sv));
    hive.SetValue(EntryKey, "", Raw(REG_DWORD, "\x2a\0\0\x80"sv));
    hive.SetValue(EntryKey, "Bytes", Raw(REG_BINARY, PatternBytes(0)));
    std::string bytes;
    for (int i = 0; i < 48; ++i) bytes += static_cast<char>(i);
    hive.SetValue(EntryKey, "Bytes", Raw(REG_BINARY, bytes));
    hive.SetValue(EntryKey, "Expand", Raw(REG_EXPAND_SZ, "%A%\0"sv));
    hive.CreateKey("HKEY_CURRENT_USER\\Software\\Empty");

    EXPECT_EQ(hive.Text(),
              "REGEDIT4\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Empty]\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Orvandel Software\\Sildra\\LockExtensionEntry]\r\n"
              "\"Value\"=\"TRUE\"\r\n"
              "\"Path\"=\"C:\\\\Program Files\\\\\\\"Q\\\"\"\r\n"
              "@=dword:8000002a\r\n"
              "\"Bytes\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\\\r\n"
              "  15,16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,\\\r\n"
              "  2e,2f\r\n"
              "\"Expand\"=hex(2):25,41,25,00\r\n"
              "\r\n");
}

TEST(RegistryHiveText, ReadsHandWrittenText) {
    const std::string text =
        "\xEF\xBB\xBFREGEDIT4  \n"
        "; settings, edited by hand\r\n"
        "\n"
        "  [HKEY_CURRENT_USER\\Software\\A]  \n"
        "@=\"default\"\n"
        "\"Text\" = \"one\"   ; a comment\r\n"
        "\"\"=\"replaces the default\"\n"
        "\"Dword\"=DWORD:1F\n"
        "\"List\"=hex(7):41,00,\\\n"
        "     42 , 0,  \\\r\n"
        "\n"
        "\"Binary\"=hex:\\\n"
        "  FF,0a,\n"
        "\"Text\"=\"two\"\n"
        "[HKEY_CURRENT_USER\\Software\\Bare]\n"
        "[hkey_current_user\\software\\a]\n"
        "\"Later\"=hex(0):\n";
    const RegistryHive hive = RegistryHive::Parse(text);
    const std::string a = "HKEY_CURRENT_USER\\Software\\A";
    auto value = [&](const char* name) {
        const RegistryValue* found = hive.FindValue(a, name);
        return found ? *found : RegistryValue{0xDEAD, {}};
    };
    using namespace std::string_view_literals;
    EXPECT_EQ(value(""), Raw(REG_SZ, "replaces the default\0"sv));
    EXPECT_EQ(value("Text"), Raw(REG_SZ, "two\0"sv));
    EXPECT_EQ(value("Dword"), Raw(REG_DWORD, "\x1f\0\0\0"sv));
    EXPECT_EQ(value("List"), Raw(REG_MULTI_SZ, "A\0B\0"sv));
    EXPECT_EQ(value("Binary"), Raw(REG_BINARY, "\xff\x0a"sv));
    EXPECT_EQ(value("Later"), Raw(REG_NONE, ""sv));
    EXPECT_EQ(hive.ValueNames(a),
              (std::vector<std::string>{"", "Text", "Dword", "List", "Binary", "Later"}));
    EXPECT_TRUE(hive.KeyExists("HKEY_CURRENT_USER\\Software\\Bare"));
    EXPECT_EQ(hive.KeyPaths(),
              (std::vector<std::string>{"HKEY_CURRENT_USER", "HKEY_CURRENT_USER\\Software",
                                        "HKEY_CURRENT_USER\\Software\\A",
                                        "HKEY_CURRENT_USER\\Software\\Bare"}));
    EXPECT_EQ(RegistryHive::Parse("").KeyPaths(), std::vector<std::string>{});
}

TEST(RegistryHiveText, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    using namespace std::string_view_literals;
    RegistryHive hive;
    ASSERT_TRUE(hive.CreateKey("hkey_current_user\\Software\\Orvandel Software"));
    ASSERT_TRUE(hive.CreateKey("HKEY_CURRENT_USER\\SOFTWARE\\orvandel software\\Sildra"));
    EXPECT_TRUE(hive.KeyExists("HKEY_current_USER\\software\\ORVANDEL SOFTWARE\\sildra"));
    EXPECT_FALSE(hive.KeyExists("HKEY_CURRENT_USER\\Software\\Orvandel_Software"));

    const std::string key = "HKEY_CURRENT_USER\\Software\\Orvandel Software\\Sildra";
    ASSERT_TRUE(hive.SetValue(key, "Value", Raw(REG_SZ, "1\0"sv)));
    ASSERT_TRUE(hive.SetValue(key, "VALUE", Raw(REG_DWORD, "\1\0\0\0"sv)));
    ASSERT_NE(hive.FindValue(key, "vAlUe"), nullptr);
    EXPECT_EQ(hive.FindValue(key, "vAlUe")->type, REG_DWORD);
    EXPECT_EQ(hive.ValueNames(key), std::vector<std::string>{"Value"});
    EXPECT_EQ(hive.KeyPaths().back(), key);
    EXPECT_NE(hive.Text().find("[HKEY_CURRENT_USER\\Software\\Orvandel Software\\Sildra]\r\n"
                               "\"Value\"=dword:00000001\r\n"),
              std::string::npos);
}

TEST(RegistryHiveText, ReportsTheLineAndTheProblemOfWhatItCannotRead) {
    struct Case {
        std::string text;
        std::size_t line;
        std::string problem;
    };
    const std::string head = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n";
    const std::vector<Case> cases = {
        {"\n", 1, "REGEDIT4"},
        {"Windows Registry Editor Version 5.00\r\n", 1, "REGEDIT4"},
        {std::string("\xFF\xFE" "R\0E\0", 6), 1, "REGEDIT4"},
        {"REGEDIT4\n\"Value\"=\"x\"\n", 2, "before the first [key]"},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\So", 3, "must end with ']'"},
        {"REGEDIT4\n[-HKEY_CURRENT_USER\\Software]\n", 2, "not supported"},
        {"REGEDIT4\n[Software\\Sildra]\n", 2, "HKEY_CURRENT_USER"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\\\Software]\n", 2, "empty"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\Soft\x01ware]\n", 2, "control character"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\n", 2, "255"},
        {head + "\"Value\"=-\r\n", 4, "not supported"},
        {head + "\"Value\"=\"open\r\n", 4, "closing quote"},
        {head + "\"Value=\"x\"\r\n", 4, "expected '='"},
        {head + "\"Value\"=\"a\\nb\"\r\n", 4, "unknown escape"},
        {head + "\"Value\"=\"a\" b\r\n", 4, "after the value"},
        {head + "\"Value\"=text\r\n", 4, "expected \"text\""},
        {head + "\"Value\"=dword:\r\n", 4, "dword"},
        {head + "\"Value\"=dword:123456789\r\n", 4, "dword"},
        {head + "\"Value\"=dword:12g\r\n", 4, "after the value"},
        {head + "\"Value\"=hex(:00\r\n", 4, "hex(type)"},
        {head + "\"Value\"=hex(123456789):00\r\n", 4, "hex(type)"},
        {head + "\"Value\"=hex(1:00\r\n", 4, "'):'"},
        {head + "\"Value\"=hex:001\r\n", 4, "more than two"},
        {head + "\"Value\"=hex:00 01\r\n", 4, "expected ','"},
        {head + "\"Value\"=hex:00,,01\r\n", 4, "expected a hex byte"},
        {head + "\"Value\"=hex:00,zz\r\n", 4, "expected a hex byte"},
        {head + "\"Value\"=hex:00,\\ x\r\n", 4, "must end the line"},
        {head + "\"Value\"=hex:00\\\r\n  01\r\n", 4, "after a comma"},
        {head + "\"Value\"=hex:00,01,\\\r\n  02,\\\r\n  03 04\r\n", 6, "expected ','"},
        {head + "\"Value\"=hex:00,01,\\\r\n  02,\\", 5, "past the end of the file"},
        {head + "\"Val\nue\"=\"x\"\r\n", 4, "closing quote"},
        {head + "\"Va\x7Fl\"=\"x\"\r\n", 4, "control character"},
        {head + "garbage\r\n", 4, "expected a [key]"},
    };
    for (const auto& c : cases) {
        try {
            RegistryHive::Parse(c.text);
            ADD_FAILURE() << "parsed: " << c.text;
        } catch (const RegistryParseError& error) {
            EXPECT_EQ(error.Line(), c.line) << c.text << "\n" << error.what();
            EXPECT_NE(error.Problem().find(c.problem), std::string::npos)
                << c.text << "\n" << error.what();
        }
    }
}

TEST(RegistryHiveText, RefusesNamesTheTextCouldNotHold) {
    RegistryHive hive;
    const std::string base = "HKEY_CURRENT_USER\\Software";
    for (const std::string& path :
         {std::string("Software\\A"), std::string("HKEY_NOWHERE\\A"), base + "\\", base + "\\\\A",
          base + "\\A\nB", base + "\\" + std::string(256, 'k')}) {
        EXPECT_FALSE(hive.CreateKey(path)) << path;
        EXPECT_FALSE(hive.KeyExists(path)) << path;
    }
    EXPECT_TRUE(hive.KeyPaths().empty());

    std::string deepest = "HKEY_CURRENT_USER";
    for (std::size_t depth = 1; depth < RegistryHive::MaxKeyDepth; ++depth) deepest += "\\k";
    EXPECT_TRUE(hive.CreateKey(deepest));
    EXPECT_FALSE(hive.CreateKey(deepest + "\\k"));
    EXPECT_TRUE(hive.CreateKey(base + "\\" + std::string(255, 'k')));

    ASSERT_TRUE(hive.CreateKey(base));
    EXPECT_FALSE(hive.SetValue(base, "a\nb", {}));
    EXPECT_FALSE(hive.SetValue(base, std::string(16384, 'v'), {}));
    EXPECT_TRUE(hive.SetValue(base, std::string(16383, 'v'), {}));
    EXPECT_FALSE(hive.SetValue(base + "\\Missing", "Value", {}));
    EXPECT_EQ(RegistryHive::Parse(hive.Text()).Text(), hive.Text());
}

TEST(RegistryHiveText, LongLinesAndDeepKeysParseInOnePass) {
    const std::string head = "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n";
    const std::string longText(4 << 20, 'x');
    std::string longHex;
    for (int i = 0; i < (1 << 20); ++i) longHex += "ab,";
    const RegistryHive hive = RegistryHive::Parse(head + "\"Text\"=\"" + longText +
                                                  "\"\r\n\"Hex\"=hex:" + longHex + "\r\n");
    EXPECT_EQ(hive.FindValue("HKEY_CURRENT_USER\\A", "Text")->data.size(), longText.size() + 1);
    EXPECT_EQ(hive.FindValue("HKEY_CURRENT_USER\\A", "Hex")->data.size(), std::size_t{1} << 20);

    // A million key levels on one line stops at the registry's depth limit.
    std::string deep = "REGEDIT4\r\n[HKEY_CURRENT_USER";
    for (int i = 0; i < 1000000; ++i) deep += "\\k";
    EXPECT_THROW(RegistryHive::Parse(deep + "]\r\n"), RegistryParseError);

    // Many values under a long key path cost no more than their own lines.
    const std::string longKey = "HKEY_CURRENT_USER\\" + std::string(255, 'k');
    std::string many = "REGEDIT4\r\n[" + longKey + "]\r\n";
    for (int i = 0; i < 100000; ++i) many += "\"v" + std::to_string(i) + "\"=\"\"\r\n";
    EXPECT_EQ(RegistryHive::Parse(many).ValueNames(longKey).size(), 100000u);
}

// A cheap stand-in for the fuzzer, run on every build: whatever the bytes,
// parsing either fails cleanly or gives a hive that survives its own text.
TEST(RegistryHiveText, ArbitraryBytesFailCleanlyOrRoundTrip) {
    const std::string valid =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n\"Value\"=\"TRUE\"\r\n"
        "@=dword:00000001\r\n\"B\"=hex(2):41,\\\r\n  00\r\n[HKEY_USERS\\X]\r\n";
    const std::string alphabet = "[]\\\"@=:,;-()\r\n hexdword01aF\x01\xff";
    int parsed = 0;
    for (unsigned seed = 1; seed <= 3000; ++seed) {
        std::string text;
        Bytes noise = PatternBytes(seed % 97, seed);
        switch (seed % 3) {
            case 0: text = noise; break;
            case 1: text = "REGEDIT4\r\n" + noise; break;
            default:  // a few characters of a good hive changed
                text = valid;
                noise = PatternBytes(2 * (1 + seed % 4), seed);
                for (std::size_t i = 0; i < noise.size(); i += 2) {
                    std::size_t at = static_cast<unsigned char>(noise[i]) * text.size() / 256;
                    text[at] = alphabet[static_cast<unsigned char>(noise[i + 1]) % alphabet.size()];
                }
        }
        try {
            const std::string written = RegistryHive::Parse(text).Text();
            EXPECT_EQ(RegistryHive::Parse(written).Text(), written) << seed;
            ++parsed;
        } catch (const RegistryParseError& error) {
            EXPECT_GE(error.Line(), 1u);
        }
    }
    EXPECT_GT(parsed, 50);   // the round trip is really tried
}

// ------------------------------------------------------------ registry file

class RegistryFile : public ::testing::Test {
protected:
    std::string HiveFile() const { return home.ConfigHome() + "/quorvex/HKEY_CURRENT_USER.reg"; }
    void PutHive(const Bytes& text) const {
        mkdir(home.ConfigHome().c_str(), 0700);
        mkdir((home.ConfigHome() + "/quorvex").c_str(), 0700);
        WriteFile(HiveFile(), text);
    }
    RegistryHive StoredHive() const { return RegistryHive::Parse(ReadFile(HiveFile())); }

    PrivateHome home;
};

TEST_F(RegistryFile, LivesInTheConfigFolder) {
    EXPECT_EQ(TRegistry::HivePath(), HiveFile());
    ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");
    ScopedEnv userHome("HOME", home.Folder() / "home");
    EXPECT_EQ(TRegistry::HivePath(), home.Folder() / "home/.config/quorvex/HKEY_CURRENT_USER.reg");
}

TEST_F(RegistryFile, ReadingAMissingHiveFindsNothingAndCreatesNothing) {
    TRegistry registry;
    EXPECT_FALSE(registry.OpenKey("\\Software\\Orvandel Software", false));
    EXPECT_FALSE(registry.KeyExists("\\Software"));
    EXPECT_FALSE(registry.HasCurrentKey());
    EXPECT_EQ(registry.ReadString("Value"), "");
    EXPECT_FALSE(registry.ValueExists("Value"));
    EXPECT_TRUE(registry.KeyExists("\\"));  // the root is always there
    EXPECT_FALSE(Exists(home.ConfigHome()));
}

TEST_F(RegistryFile, CreatedKeysAreStoredAtOnceInAPrivateFolder) {
    TRegistry registry;
    ASSERT_TRUE(
        registry.OpenKey("\\Software\\Orvandel Software\\Sildra\\LockExtensionEntry", true));
    EXPECT_EQ(registry.CurrentPath(), "Software\\Orvandel Software\\Sildra\\LockExtensionEntry");

    EXPECT_TRUE(StoredHive().KeyExists(EntryKey));
    TRegistry other;
    EXPECT_TRUE(other.KeyExists("\\software\\ORVANDEL SOFTWARE\\Sildra"));
    struct stat folder;
    ASSERT_EQ(stat((home.ConfigHome() + "/quorvex").c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    struct stat file;
    ASSERT_EQ(stat(HiveFile().c_str(), &file), 0);
    EXPECT_EQ(file.st_mode & 0077, 0u);
}

TEST_F(RegistryFile, RelativePathsStartAtTheCurrentKeyAndKeyExistsLeavesItAlone) {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("\\Software", true));
    ASSERT_TRUE(registry.OpenKey("Vendor\\Product", true));
    EXPECT_EQ(registry.CurrentPath(), "Software\\Vendor\\Product");
    EXPECT_TRUE(registry.KeyExists("\\Software\\Vendor"));
    EXPECT_FALSE(registry.KeyExists("Vendor"));  // below Software\Vendor\Product
    EXPECT_FALSE(registry.OpenKey("\\Missing", false));
    EXPECT_EQ(registry.CurrentPath(), "Software\\Vendor\\Product");
    registry.CloseKey();
    EXPECT_TRUE(registry.OpenKey("Software\\Vendor", false));  // from the root again
    EXPECT_TRUE(StoredHive().KeyExists("HKEY_CURRENT_USER\\Software\\Vendor\\Product"));
}

TEST_F(RegistryFile, KeysThatCannotBeStoredAreNotOpened) {
    TRegistry registry;
    for (const std::string& key : {std::string("\\Software\\\\A"), std::string("\\Software\\"),
                                   std::string("\\Software\\A\nB"),
                                   "\\Software\\" + std::string(256, 'k')}) {
        EXPECT_FALSE(registry.OpenKey(key, true)) << key;
        EXPECT_FALSE(registry.KeyExists(key)) << key;
    }
    registry.SetRootKey(HKEY(0x80000002));
    EXPECT_FALSE(registry.OpenKey("\\Software", true));
    EXPECT_FALSE(Exists(home.ConfigHome()));

    TRegistry fresh;
    EXPECT_THROW(fresh.WriteString("Value", "x"), ERegistryException);  // no key open
}

TEST_F(RegistryFile, ValuesKeepTheirTypeAndBytes) {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("\\Software\\Test", true));
    registry.WriteString("Text", "C:\\Quorvex");
    registry.WriteExpandString("Expand", "%HOME%");
    registry.WriteInteger("Number", 0x01020304);
    registry.WriteBinaryData("Binary", {0, 1, 255});
    registry.WriteRawValue("Multi", REG_MULTI_SZ, {'a', 0, 0});
    registry.WriteString("Replaced", "text");
    registry.WriteInteger("replaced", 7);

    using namespace std::string_view_literals;
    const RegistryHive stored = StoredHive();
    const std::string key = "HKEY_CURRENT_USER\\Software\\Test";
    EXPECT_EQ(*stored.FindValue(key, "Text"), Raw(REG_SZ, "C:\\Quorvex\0"sv));
    EXPECT_EQ(*stored.FindValue(key, "Expand"), Raw(REG_EXPAND_SZ, "%HOME%\0"sv));
    EXPECT_EQ(*stored.FindValue(key, "Number"), Raw(REG_DWORD, "\x04\x03\x02\x01"sv));
    EXPECT_EQ(*stored.FindValue(key, "Binary"), Raw(REG_BINARY, "\0\1\xff"sv));
    EXPECT_EQ(*stored.FindValue(key, "Multi"), Raw(REG_MULTI_SZ, "a\0\0"sv));
    EXPECT_EQ(*stored.FindValue(key, "Replaced"), Raw(REG_DWORD, "\7\0\0\0"sv));
    EXPECT_TRUE(registry.ValueExists("TEXT"));
    EXPECT_FALSE(registry.ValueExists("Missing"));
}

TEST_F(RegistryFile, ReadStringGivesTextTypesAndRefusesOthers) {
    using namespace std::string_view_literals;
    struct Case {
        RegistryValue value;
        std::string expected;  // or the message raised
        bool raises;
    };
    const std::vector<Case> cases = {
        {Raw(REG_SZ, "abc\0"sv), "abc", false},
        {Raw(REG_SZ, "abc"sv), "abc", false},
        {Raw(REG_SZ, "a\0b\0"sv), "a", false},
        {Raw(REG_EXPAND_SZ, "%HOME%\\x\0"sv), "%HOME%\\x", false},
        {Raw(REG_BINARY, ""sv), "", false},
        {Raw(REG_DWORD, ""sv), "", false},
        {Raw(REG_DWORD, "\1\0\0\0"sv), "Invalid data type for 'Value'", true},
        {Raw(REG_BINARY, "x"sv), "Invalid data type for 'Value'", true},
        {Raw(REG_MULTI_SZ, "a\0\0"sv), "Invalid data type for 'Value'", true},
    };
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("\\Software\\Test", true));
    for (const auto& c : cases) {
        registry.WriteRawValue("Value", c.value.type, c.value.data);
        try {
            EXPECT_EQ(registry.ReadString("Value"), c.expected) << Hex(c.value.data);
            EXPECT_FALSE(c.raises) << c.expected;
        } catch (const ERegistryException& error) {
            EXPECT_TRUE(c.raises) << error.what();
            EXPECT_EQ(error.Message(), c.expected);
        }
    }
    EXPECT_EQ(registry.ReadString("Missing"), "");
}

TEST_F(RegistryFile, ConditionalDeleteDecidesOnTheHiveAsItIsWhenDeleting) {
    const std::string key = "\\Software\\Orvandel Software\\Sildra";
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(key, true));
    auto empty = [](const RegistryHive& hive, std::string_view path) {
        return hive.SubKeyNames(path).empty() && hive.ValueNames(path).empty();
    };
    // Another process has put a setting below the key since it was looked at.
    TRegistry other;
    ASSERT_TRUE(other.OpenKey(key + "\\LockExtensionEntry", true));
    other.WriteString("Value", "FALSE");

    EXPECT_FALSE(registry.DeleteKey(key, empty));
    EXPECT_TRUE(registry.KeyExists(key + "\\LockExtensionEntry"));
    EXPECT_TRUE(registry.DeleteKey(key + "\\LockExtensionEntry", [](const RegistryHive&, std::string_view) { return true; }));
    EXPECT_TRUE(registry.DeleteKey(key, empty));
    EXPECT_FALSE(registry.KeyExists(key));
}

TEST_F(RegistryFile, DeleteKeyTakesTheKeyAndAllBelowItAndNothingElse) {
    const std::string base = "\\Software\\Orvandel Software\\Sildra";
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(base + "\\LockExtensionEntry", true));
    registry.WriteString("Value", "FALSE");
    ASSERT_TRUE(registry.OpenKey(base + "\\InstallationDirectory\\Below", true));
    registry.WriteString("Value", "below");
    ASSERT_TRUE(registry.OpenKey(base + "\\InstallationDirectory", true));
    registry.WriteString("Value", "/usr/share/quorvex");
    RegistryHive expected = StoredHive();

    ASSERT_TRUE(registry.OpenKey(base, false));
    EXPECT_EQ(registry.GetKeyNames(),
              (std::vector<std::string>{"InstallationDirectory", "LockExtensionEntry"}));
    EXPECT_EQ(registry.GetValueNames(), std::vector<std::string>{});
    ASSERT_TRUE(registry.OpenKey("InstallationDirectory", false));
    EXPECT_EQ(registry.GetValueNames(), std::vector<std::string>{"Value"});

    EXPECT_TRUE(registry.DeleteKey("\\SOFTWARE\\orvandel software\\Sildra\\installationdirectory"));
    ASSERT_TRUE(expected.DeleteKey(
        "HKEY_CURRENT_USER\\Software\\Orvandel Software\\Sildra\\InstallationDirectory"));
    EXPECT_EQ(ReadFile(HiveFile()), expected.Text());
    EXPECT_FALSE(registry.KeyExists(base + "\\InstallationDirectory\\Below"));
    EXPECT_TRUE(registry.KeyExists(base + "\\LockExtensionEntry"));

    // The deleted key stays current, and like a handle to a deleted key it
    // takes no more values.
    EXPECT_EQ(registry.CurrentPath(), "Software\\Orvandel Software\\Sildra\\InstallationDirectory");
    EXPECT_THROW(registry.WriteString("Value", "x"), ERegistryException);
    EXPECT_FALSE(registry.DeleteKey(base + "\\InstallationDirectory"));  // gone already
    EXPECT_FALSE(registry.DeleteKey("\\"));
    EXPECT_FALSE(registry.DeleteKey("\\Software\\\\Sildra"));
    EXPECT_FALSE(RegistryHive(expected).DeleteKey("HKEY_CURRENT_USER"));

    ASSERT_TRUE(registry.OpenKey(base, false));
    EXPECT_TRUE(registry.DeleteKey("LockExtensionEntry"));  // from the current key
    EXPECT_EQ(registry.GetKeyNames(), std::vector<std::string>{});
    EXPECT_TRUE(registry.DeleteKey("\\Software"));
    EXPECT_EQ(ReadFile(HiveFile()), "REGEDIT4\r\n\r\n");  // the empty root needs no section
}

TEST_F(RegistryFile, DeletingFromAMissingHiveCreatesNothing) {
    TRegistry registry;
    EXPECT_FALSE(registry.DeleteKey("\\Software\\Orvandel Software"));
    EXPECT_FALSE(Exists(home.ConfigHome()));
}

TEST_F(RegistryFile, DamagedHiveIsReportedWithItsLineAndNeverOverwritten) {
    const std::vector<std::pair<Bytes, std::string>> damaged = {
        {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n\"Value\"=oops\r\n", "line 4"},
        {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n\"Value\"=hex:01,\\", "line 4"},
        {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Softw", "line 3"},
        {PatternBytes(4096, 7), "line 1"},
        {std::string("\0\0\0\0", 4), "line 1"},
    };
    for (const auto& entry : damaged) {
        const Bytes& content = entry.first;
        const std::string& line = entry.second;
        PutHive(content);
        TRegistry registry;
        auto expectReport = [&](auto operation, const std::string& start) {
            try {
                operation();
                ADD_FAILURE() << "no error for " << line;
            } catch (const ERegistryException& error) {
                EXPECT_EQ(error.Message().rfind(start, 0), 0u) << error.what();
                EXPECT_NE(error.Message().find(HiveFile()), std::string::npos) << error.what();
                EXPECT_NE(error.Message().find(line), std::string::npos) << error.what();
            }
        };
        expectReport([&] { registry.OpenKey("\\Software\\A", false); }, "Failed to open the key");
        expectReport([&] { registry.OpenKey("\\Software\\B", true); }, "Failed to open the key");
        expectReport([&] { registry.KeyExists("\\Software\\A"); }, "Failed to look up the key");
        ASSERT_TRUE(registry.OpenKey("\\", false));  // the root needs no file
        expectReport([&] { registry.WriteString("Value", "x"); }, "Failed to set data for 'Value'");
        expectReport([&] { registry.ReadString("Value"); }, "Failed to get data for 'Value'");
        EXPECT_EQ(ReadFile(HiveFile()), content);
    }
}

TEST_F(RegistryFile, EmptyHiveFileIsAnEmptyHive) {
    PutHive("");
    TRegistry registry;
    EXPECT_FALSE(registry.KeyExists("\\Software"));
    ASSERT_TRUE(registry.OpenKey("\\Software\\A", true));
    registry.WriteString("Value", "x");
    EXPECT_EQ(registry.ReadString("Value"), "x");
}

TEST_F(RegistryFile, UnreadableHiveRaises) {
    mkdir(home.ConfigHome().c_str(), 0700);
    mkdir((home.ConfigHome() + "/quorvex").c_str(), 0700);
    mkdir(HiveFile().c_str(), 0700);  // unreadable even for root
    TRegistry registry;
    try {
        registry.KeyExists("\\Software");
        ADD_FAILURE() << "no error";
    } catch (const ERegistryException& error) {
        EXPECT_NE(error.Message().find(HiveFile() + "' cannot be read"), std::string::npos)
            << error.what();
    }
}

TEST_F(RegistryFile, FailedWriteKeepsTheStoredValues) {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("\\Software\\A", true));
    registry.WriteString("Value", "old");
    const Bytes before = ReadFile(HiveFile());

    // A folder where the lock file belongs makes every change fail, even as root.
    const std::string lock = HiveFile() + ".lock";
    ASSERT_EQ(unlink(lock.c_str()), 0);
    ASSERT_EQ(mkdir(lock.c_str(), 0700), 0);
    try {
        registry.WriteString("Value", "new");
        ADD_FAILURE() << "no error";
    } catch (const ERegistryException& error) {
        EXPECT_EQ(error.Message().rfind("Failed to set data for 'Value': the lock file", 0), 0u)
            << error.what();
    }
    EXPECT_THROW(registry.OpenKey("\\Software\\B", true), ERegistryException);
    EXPECT_EQ(registry.ReadString("Value"), "old");
    EXPECT_EQ(ReadFile(HiveFile()), before);
}

TEST_F(RegistryFile, WritesLeaveNoTemporaryFilesAndKeepALinkedHiveLinked) {
    const std::string dotfiles = home.Folder() / "dotfiles";
    mkdir(dotfiles.c_str(), 0700);
    PutHive("REGEDIT4\r\n");
    ASSERT_EQ(rename(HiveFile().c_str(), (dotfiles + "/hive.reg").c_str()), 0);
    ASSERT_EQ(symlink((dotfiles + "/hive.reg").c_str(), HiveFile().c_str()), 0);

    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("\\Software\\A", true));
    registry.WriteString("Value", "kept");
    registry.WriteString("Value", "kept");  // unchanged: nothing to write

    struct stat link;
    ASSERT_EQ(lstat(HiveFile().c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_NE(ReadFile(dotfiles + "/hive.reg").find("\"Value\"=\"kept\""), std::string::npos);
    EXPECT_EQ(NamesIn(dotfiles), std::vector<std::string>{"hive.reg"});
    EXPECT_EQ(NamesIn(home.ConfigHome() + "/quorvex"),
              (std::vector<std::string>{"HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.reg.lock"}));
}

}  // namespace
