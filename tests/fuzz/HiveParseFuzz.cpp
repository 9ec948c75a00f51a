// The hive parser on any bytes at all: it either refuses them with a line
// inside the text, or gives a hive whose own text reads back to the very
// same keys and values, and writes the same text again.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/RegistryHive.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

// Same keys, and in each the same values, names, types and bytes alike.
bool SameContent(const RegistryHive& a, const RegistryHive& b) {
    if (a.KeyPaths() != b.KeyPaths()) return false;
    for (const std::string& key : a.KeyPaths()) {
        if (a.ValueNames(key) != b.ValueNames(key)) return false;
        for (const std::string& name : a.ValueNames(key)) {
            const RegistryValue* left = a.FindValue(key, name);
            const RegistryValue* right = b.FindValue(key, name);
            if (!left || !right || !(*left == *right)) return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RegistryHive hive;
    try {
        hive = RegistryHive::Parse(text);
    } catch (const RegistryParseError& error) {
        const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
        Require(error.Line() >= 1 && error.Line() <= lines, "a parse error names a line of the text");
        return 0;
    }

    const std::string written = hive.Text();
    RegistryHive again;
    try {
        again = RegistryHive::Parse(written);
    } catch (const RegistryParseError&) {
        Require(false, "the text a hive writes can be read back");
    }
    Require(SameContent(hive, again), "writing and reading back keeps every key and value");
    Require(again.Text() == written, "a hive read back writes the same text");
    return 0;
}
