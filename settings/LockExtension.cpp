#include "settings/LockExtension.h"

#include "settings/RegistryManager.h"

namespace {

constexpr char OnText[] = "TRUE";
constexpr char OffText[] = "FALSE";

}  // namespace

bool LockExtensionIsOn(const std::string& storedText) { return storedText == OnText; }

std::string LockExtensionText(bool on) { return on ? OnText : OffText; }

bool ReadLockExtensionSetting(RegistryManager& registryManager) {
    if (!registryManager.EntryExists(LockExtensionEntry)) return true;
    return LockExtensionIsOn(registryManager.ReadEntry(LockExtensionEntry));
}

std::optional<std::string> NameWithoutLockedSuffix(const std::string& path) {
    constexpr std::size_t suffixLength = sizeof(LockedSuffix) - 1;
    if (path.size() < suffixLength || path.compare(path.size() - suffixLength, suffixLength, LockedSuffix) != 0)
        return std::nullopt;
    std::string name = path.substr(0, path.size() - suffixLength);
    if (name.empty() || name.back() == '/') return std::nullopt;
    return name;
}
