#pragma once

// A registry hive held in memory, read from and written to the registry's
// 8-bit export text (REGEDIT4), so a person can read the file and Windows can
// import it. No file access here: Registry.cpp does the reading and writing.
//
// Keys are full paths from a root, "HKEY_CURRENT_USER\Software\Vendor\Product".
// Key and value names compare case-insensitively (ASCII letters only, as the
// text is 8-bit) and keep the case they were first given. The default value
// of a key has the empty name and is written as @. Values keep their type and
// raw bytes, so every value survives a write and a parse byte for byte.

#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum RegistryValueType : std::uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
    REG_MULTI_SZ = 7,
};

struct RegistryValue {
    std::uint32_t type = REG_NONE;
    std::vector<std::uint8_t> data;

    bool operator==(const RegistryValue&) const = default;
};

// The text is not a hive this program can read; Line() is counted from 1.
class RegistryParseError : public std::runtime_error {
public:
    RegistryParseError(std::size_t line, const std::string& problem);
    std::size_t Line() const { return line; }
    const std::string& Problem() const { return problem; }

private:
    std::size_t line;
    std::string problem;
};

class RegistryHive {
public:
    // The registry's own limits; a hive beyond them could not be imported.
    static constexpr std::size_t MaxKeyNameLength = 255;
    static constexpr std::size_t MaxValueNameLength = 16383;
    static constexpr std::size_t MaxKeyDepth = 512;

    RegistryHive();

    // Reads REGEDIT4 text, LF or CRLF. Raises RegistryParseError. The work is
    // linear in the text's length and nothing recurses on its nesting, so any
    // bytes at all are safe to give it. An empty text is an empty hive.
    static RegistryHive Parse(std::string_view text);
    // The REGEDIT4 text of the hive, CRLF line ends, keys in tree order,
    // values in the order they were first set. A key without values that has
    // keys below it gets no section of its own: they bring it back.
    std::string Text() const;

    // A valid path is a known root followed by names of 1 to 255 bytes without
    // control characters, separated by single backslashes.
    static bool IsValidKeyPath(std::string_view path);
    static bool IsValidValueName(std::string_view name);

    bool KeyExists(std::string_view path) const;
    // Creates the key and every missing key above it. False for an invalid
    // path; true when the key exists afterwards.
    bool CreateKey(std::string_view path);
    // Removes the key with its values and every key below it, as deleting a
    // key in the registry does. False when it does not exist or is a root.
    bool DeleteKey(std::string_view path);
    // Full paths in the order Text() writes them.
    std::vector<std::string> KeyPaths() const;
    // Names of the keys directly below the key, in the order Text() writes them.
    std::vector<std::string> SubKeyNames(std::string_view path) const;

    // Null when the key or the value does not exist.
    const RegistryValue* FindValue(std::string_view keyPath, std::string_view name) const;
    // Sets the value in an existing key, replacing one of any type and keeping
    // its place. False when the key does not exist or the name is not valid.
    bool SetValue(std::string_view keyPath, std::string_view name, RegistryValue value);
    // Names in the order Text() writes them; "" is the default value.
    std::vector<std::string> ValueNames(std::string_view keyPath) const;

private:
    friend class RegistryHiveParser;

    struct NamedValue {
        std::string name;
        RegistryValue value;
    };
    // Keys live in one flat list and point at each other by index, so a deep
    // tree costs no recursion to build, walk or destroy.
    struct Key {
        std::string name;
        std::map<std::string, std::size_t> children;  // by folded name
        std::vector<NamedValue> values;
        std::map<std::string, std::size_t> valueIndex;  // folded name -> values
    };
    static constexpr std::size_t Top = 0;  // the unnamed parent of the roots

    std::size_t FindKey(std::string_view path) const;  // npos when absent
    std::size_t CreateKeyIndex(std::string_view path);  // npos when invalid
    void SetValueAt(std::size_t key, std::string_view name, RegistryValue value);
    // Every key with its full path, parents before children, siblings sorted.
    std::vector<std::pair<std::size_t, std::string>> KeysInOrder() const;
    static void AppendKeyText(std::string& text, const std::string& path, const Key& key);

    std::vector<Key> keys;
};
