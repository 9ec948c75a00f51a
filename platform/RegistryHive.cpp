#include "platform/RegistryHive.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

constexpr std::size_t npos = std::string::npos;

constexpr std::array<std::string_view, 5> RootNames = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_CURRENT_CONFIG",
};

char FoldChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Fold(std::string_view name) {
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldChar);
    return folded;
}

bool EqualFolded(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return FoldChar(x) == FoldChar(y); });
}

bool StartsWithFolded(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualFolded(text.substr(0, prefix.size()), prefix);
}

// Control characters cannot be written in the text (a line break would end
// the line), so names never hold them.
bool IsControl(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool HasControl(std::string_view text) { return std::any_of(text.begin(), text.end(), IsControl); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view TrimLeft(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) ++start;
    return text.substr(start);
}

std::string_view TrimRight(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) --end;
    return text.substr(0, end);
}

const std::string_view* FindRoot(std::string_view name) {
    for (const auto& root : RootNames)
        if (EqualFolded(root, name)) return &root;
    return nullptr;
}

// What is wrong with a key path, or null when nothing is.
const char* KeyPathProblem(std::string_view path) {
    std::size_t depth = 0;
    std::size_t start = 0;
    while (true) {
        std::size_t end = path.find('\\', start);
        std::string_view name = path.substr(start, end == npos ? npos : end - start);
        if (depth == 0) {
            if (!FindRoot(name))
                return "a key path must start with HKEY_CURRENT_USER or another root key";
        } else {
            if (name.empty())
                return "a key name is empty (two backslashes in a row, or one at the end)";
            if (name.size() > RegistryHive::MaxKeyNameLength)
                return "a key name is longer than 255 bytes";
            if (HasControl(name)) return "a key name holds a control character";
        }
        if (++depth > RegistryHive::MaxKeyDepth) return "keys nest deeper than 512 levels";
        if (end == npos) return nullptr;
        start = end + 1;
    }
}

const char* ValueNameProblem(std::string_view name) {
    if (name.size() > RegistryHive::MaxValueNameLength)
        return "a value name is longer than 16383 bytes";
    if (HasControl(name)) return "a value name holds a control character";
    return nullptr;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

void AppendHexByte(std::string& out, std::uint8_t byte) {
    static constexpr char digits[] = "0123456789abcdef";
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

std::string HexNumber(std::uint32_t number) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[number & 0x0F]);
        number >>= 4;
    } while (number != 0);
    return text;
}

// Data that reads back exactly from "name"="text": the text's bytes and one NUL.
bool IsPlainText(const RegistryValue& value) {
    const auto& data = value.data;
    return value.type == REG_SZ && !data.empty() && data.back() == 0 &&
           std::none_of(data.begin(), data.end() - 1,
                        [](std::uint8_t byte) { return IsControl(static_cast<char>(byte)); });
}

// Regedit's layout: no line longer than 77 characters before the backslash
// that continues it, continuation lines indented by two blanks.
void AppendHexList(std::string& line, const std::vector<std::uint8_t>& data) {
    constexpr std::size_t width = 77;
    std::size_t column = line.size();
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (column + 3 > width) {
            line += "\\\r\n  ";
            column = 2;
        }
        AppendHexByte(line, data[i]);
        column += 2;
        if (i + 1 < data.size()) {
            line += ',';
            ++column;
        }
    }
}

}  // namespace

// Reads the hive text line by line. Every byte is looked at a bounded number
// of times and nothing recurses, whatever the input.
class RegistryHiveParser {
public:
    explicit RegistryHiveParser(std::string_view text) : text(text) {}

    RegistryHive Run() {
        RegistryHive hive;
        std::string_view line;
        if (!NextLine(line)) return hive;
        if (line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
        if (TrimRight(line) != "REGEDIT4") Fail("the first line must be REGEDIT4");

        while (NextLine(line)) {
            line = TrimLeft(line);
            if (line.empty() || line.front() == ';') continue;
            if (line.front() == '[')
                ParseKeyLine(hive, line);
            else if (line.front() == '"' || line.front() == '@')
                ParseValueLine(hive, line);
            else
                Fail("expected a [key] line, a \"value\"= line or a ; comment");
        }
        return hive;
    }

private:
    bool NextLine(std::string_view& line) {
        if (position >= text.size()) return false;
        std::size_t end = text.find('\n', position);
        if (end == npos) end = text.size();
        line = text.substr(position, end - position);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        position = end + 1;
        ++lineNumber;
        return true;
    }

    [[noreturn]] void Fail(const std::string& problem) const {
        throw RegistryParseError(lineNumber, problem);
    }

    void ParseKeyLine(RegistryHive& hive, std::string_view line) {
        line = TrimRight(line);
        if (line.size() < 2 || line.back() != ']') Fail("a key line must end with ']'");
        std::string_view path = line.substr(1, line.size() - 2);
        if (!path.empty() && path.front() == '-') Fail("removing keys ([-key]) is not supported");
        if (const char* problem = KeyPathProblem(path)) Fail(problem);
        currentKey = hive.CreateKeyIndex(path);
    }

    void ParseValueLine(RegistryHive& hive, std::string_view line) {
        if (currentKey == npos) Fail("a value comes before the first [key] line");
        std::size_t at = 0;
        std::string name;
        if (line.front() == '@')
            at = 1;
        else
            name = ReadQuoted(line, at, "the value name has no closing quote");
        if (const char* problem = ValueNameProblem(name)) Fail(problem);

        std::string_view rest = TrimLeft(line.substr(at));
        if (rest.empty() || rest.front() != '=') Fail("expected '=' after the value name");
        rest = TrimLeft(rest.substr(1));

        RegistryValue value;
        if (!rest.empty() && rest.front() == '"') {
            std::size_t end = 0;
            std::string textData = ReadQuoted(rest, end, "the text has no closing quote");
            value.type = REG_SZ;
            value.data.assign(textData.begin(), textData.end());
            value.data.push_back(0);
            ExpectLineEnd(rest.substr(end));
        } else if (!rest.empty() && rest.front() == '-') {
            Fail("removing values (=-) is not supported");
        } else if (StartsWithFolded(rest, "dword:")) {
            value = ParseDword(rest.substr(6));
        } else if (StartsWithFolded(rest, "hex:")) {
            value.type = REG_BINARY;
            value.data = ParseHexList(rest.substr(4));
        } else if (StartsWithFolded(rest, "hex(")) {
            std::size_t close = 0;
            value.type = ParseHexNumber(rest.substr(4), close, "hex(type) needs 1 to 8 hex digits");
            rest.remove_prefix(4 + close);
            if (rest.substr(0, 2) != "):") Fail("expected '):' after hex(type");
            value.data = ParseHexList(rest.substr(2));
        } else {
            Fail("expected \"text\", dword:, hex: or hex(type): after '='");
        }
        hive.SetValueAt(currentKey, name, std::move(value));
    }

    // Reads "..." starting at text[at] == '"'; leaves `at` just past the
    // closing quote. Only \\ and \" are escapes, as regedit writes them.
    std::string ReadQuoted(std::string_view text, std::size_t& at, const char* unterminated) {
        std::string result;
        std::size_t i = at + 1;
        while (true) {
            if (i >= text.size()) Fail(unterminated);
            char c = text[i++];
            if (c == '"') break;
            if (c == '\\') {
                if (i >= text.size()) Fail(unterminated);
                c = text[i++];
                if (c != '\\' && c != '"')
                    Fail("unknown escape in quotes; only \\\\ and \\\" are allowed");
            }
            result += c;
        }
        at = i;
        return result;
    }

    void ExpectLineEnd(std::string_view rest) {
        rest = TrimLeft(rest);
        if (!rest.empty() && rest.front() != ';') Fail("unexpected text after the value");
    }

    // 1 to 8 hex digits; `length` gets how many were read.
    std::uint32_t ParseHexNumber(std::string_view text, std::size_t& length, const char* problem) {
        std::uint32_t number = 0;
        length = 0;
        while (length < text.size() && HexDigit(text[length]) >= 0) {
            if (length == 8) Fail(problem);
            number = number << 4 | static_cast<std::uint32_t>(HexDigit(text[length]));
            ++length;
        }
        if (length == 0) Fail(problem);
        return number;
    }

    RegistryValue ParseDword(std::string_view text) {
        std::size_t length = 0;
        std::uint32_t number = ParseHexNumber(text, length, "dword: needs 1 to 8 hex digits");
        ExpectLineEnd(text.substr(length));
        RegistryValue value{REG_DWORD, {}};
        for (int shift = 0; shift < 32; shift += 8)
            value.data.push_back(static_cast<std::uint8_t>(number >> shift));
        return value;
    }

    // Bytes separated by commas; a backslash at the end of a line, after a
    // comma or right after the colon, continues the list on the next line.
    std::vector<std::uint8_t> ParseHexList(std::string_view segment) {
        std::vector<std::uint8_t> data;
        bool expectByte = true;
        while (true) {
            bool continues = false;
            std::size_t i = 0;
            while (i < segment.size() && !continues) {
                char c = segment[i];
                if (IsBlank(c)) {
                    ++i;
                } else if (expectByte && HexDigit(c) >= 0) {
                    int byte = HexDigit(c);
                    if (++i < segment.size() && HexDigit(segment[i]) >= 0)
                        byte = byte * 16 + HexDigit(segment[i++]);
                    if (i < segment.size() && HexDigit(segment[i]) >= 0)
                        Fail("a byte has more than two hex digits");
                    data.push_back(static_cast<std::uint8_t>(byte));
                    expectByte = false;
                } else if (!expectByte && c == ',') {
                    expectByte = true;
                    ++i;
                } else if (c == '\\') {
                    if (!TrimLeft(segment.substr(i + 1)).empty())
                        Fail("a backslash in a hex list must end the line");
                    if (!expectByte) Fail("a hex list may only be continued after a comma");
                    continues = true;
                } else if (c == ';') {
                    break;
                } else {
                    Fail(expectByte ? "expected a hex byte" : "expected ',' between hex bytes");
                }
            }
            if (!continues) return data;
            if (!NextLine(segment)) Fail("the hex list goes on past the end of the file");
        }
    }

    std::string_view text;
    std::size_t position = 0;
    std::size_t lineNumber = 0;
    std::size_t currentKey = npos;
};

RegistryParseError::RegistryParseError(std::size_t line, const std::string& problem)
    : std::runtime_error("line " + std::to_string(line) + ": " + problem),
      line(line),
      problem(problem) {}

RegistryHive::RegistryHive() : keys(1) {}

RegistryHive RegistryHive::Parse(std::string_view text) {
    return RegistryHiveParser(text).Run();
}

bool RegistryHive::IsValidKeyPath(std::string_view path) { return KeyPathProblem(path) == nullptr; }

bool RegistryHive::IsValidValueName(std::string_view name) {
    return ValueNameProblem(name) == nullptr;
}

std::size_t RegistryHive::FindKey(std::string_view path) const {
    std::size_t key = Top;
    std::size_t start = 0;
    while (true) {
        std::size_t end = path.find('\\', start);
        const auto& children = keys[key].children;
        auto child = children.find(Fold(path.substr(start, end == npos ? npos : end - start)));
        if (child == children.end()) return npos;
        key = child->second;
        if (end == npos) return key;
        start = end + 1;
    }
}

std::size_t RegistryHive::CreateKeyIndex(std::string_view path) {
    if (!IsValidKeyPath(path)) return npos;
    std::size_t key = Top;
    std::size_t start = 0;
    while (true) {
        std::size_t end = path.find('\\', start);
        std::string_view name = path.substr(start, end == npos ? npos : end - start);
        std::string folded = Fold(name);
        auto child = keys[key].children.find(folded);
        if (child != keys[key].children.end()) {
            key = child->second;
        } else {
            // Roots take their usual spelling; other keys the one first given.
            std::string display(key == Top ? *FindRoot(name) : name);
            std::size_t created = keys.size();
            keys.push_back(Key{std::move(display), {}, {}, {}});
            keys[key].children.emplace(std::move(folded), created);
            key = created;
        }
        if (end == npos) return key;
        start = end + 1;
    }
}

bool RegistryHive::KeyExists(std::string_view path) const { return FindKey(path) != npos; }

bool RegistryHive::CreateKey(std::string_view path) { return CreateKeyIndex(path) != npos; }

bool RegistryHive::DeleteKey(std::string_view path) {
    std::size_t slash = path.rfind('\\');
    if (slash == npos) return false;  // a root key cannot be deleted
    std::size_t parent = FindKey(path.substr(0, slash));
    if (parent == npos) return false;
    // The key and those below it stay in the list, unreachable: nothing walks
    // the list except from the top, and a hive lives for one change only.
    return keys[parent].children.erase(Fold(path.substr(slash + 1))) == 1;
}

std::vector<std::string> RegistryHive::KeyPaths() const {
    std::vector<std::string> paths;
    for (auto& [key, path] : KeysInOrder()) paths.push_back(std::move(path));
    return paths;
}

std::vector<std::pair<std::size_t, std::string>> RegistryHive::KeysInOrder() const {
    std::vector<std::pair<std::size_t, std::string>> ordered;
    std::vector<std::pair<std::size_t, std::string>> pending;
    for (auto it = keys[Top].children.rbegin(); it != keys[Top].children.rend(); ++it)
        pending.emplace_back(it->second, keys[it->second].name);
    while (!pending.empty()) {
        auto [key, path] = std::move(pending.back());
        pending.pop_back();
        const auto& children = keys[key].children;
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.emplace_back(it->second, path + '\\' + keys[it->second].name);
        ordered.emplace_back(key, std::move(path));
    }
    return ordered;
}

std::vector<std::string> RegistryHive::SubKeyNames(std::string_view path) const {
    std::vector<std::string> names;
    std::size_t key = FindKey(path);
    if (key != npos)
        for (const auto& [folded, child] : keys[key].children) names.push_back(keys[child].name);
    return names;
}

const RegistryValue* RegistryHive::FindValue(std::string_view keyPath,
                                             std::string_view name) const {
    std::size_t key = FindKey(keyPath);
    if (key == npos) return nullptr;
    auto found = keys[key].valueIndex.find(Fold(name));
    return found == keys[key].valueIndex.end() ? nullptr : &keys[key].values[found->second].value;
}

bool RegistryHive::SetValue(std::string_view keyPath, std::string_view name,
                            RegistryValue value) {
    std::size_t key = FindKey(keyPath);
    if (key == npos || !IsValidValueName(name)) return false;
    SetValueAt(key, name, std::move(value));
    return true;
}

void RegistryHive::SetValueAt(std::size_t key, std::string_view name, RegistryValue value) {
    Key& target = keys[key];
    auto [found, added] = target.valueIndex.emplace(Fold(name), target.values.size());
    if (added)
        target.values.push_back(NamedValue{std::string(name), std::move(value)});
    else
        target.values[found->second].value = std::move(value);
}

std::vector<std::string> RegistryHive::ValueNames(std::string_view keyPath) const {
    std::vector<std::string> names;
    std::size_t key = FindKey(keyPath);
    if (key != npos)
        for (const auto& named : keys[key].values) names.push_back(named.name);
    return names;
}

std::string RegistryHive::Text() const {
    std::string text = "REGEDIT4\r\n";
    for (const auto& [key, path] : KeysInOrder()) AppendKeyText(text, path, keys[key]);
    text += "\r\n";
    return text;
}

void RegistryHive::AppendKeyText(std::string& text, const std::string& path, const Key& key) {
    // A key with keys below it comes back with them; its own section is only
    // needed for its values. A root always exists, so an empty one needs none.
    bool isRoot = path.find('\\') == std::string::npos;
    if (key.values.empty() && (!key.children.empty() || isRoot)) return;
    text += "\r\n[";
    text += path;
    text += "]\r\n";
    for (const auto& [name, value] : key.values) {
        std::string line;
        if (name.empty())
            line = "@";
        else
            AppendQuoted(line, name);
        line += '=';
        if (IsPlainText(value)) {
            AppendQuoted(line, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                                value.data.size() - 1));
        } else if (value.type == REG_DWORD && value.data.size() == 4) {
            line += "dword:";
            for (std::size_t i = 4; i-- > 0;) AppendHexByte(line, value.data[i]);  // high byte first
        } else {
            line += value.type == REG_BINARY ? "hex:" : "hex(" + HexNumber(value.type) + "):";
            AppendHexList(line, value.data);
        }
        text += line;
        text += "\r\n";
    }
}
