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
