#include "settings/RegistryManager.h"

namespace {

constexpr char ValueName[] = "Value";

}  // namespace

RegistryManager::RegistryManager(const std::string& company, const std::string& product)
    : baseKey("\\Software\\" + company + "\\" + product),
      product(product),
      company(company),
      registry(std::make_unique<TRegistry>()) {
    registry->SetRootKey(HKEY_CURRENT_USER);
}

RegistryManager::~RegistryManager() = default;

std::string RegistryManager::EntryKey(const std::string& entry) const {
    return baseKey + "\\" + entry;
}

void RegistryManager::WriteEntry(const std::string& entry, const std::string& value) {
    if (!registry->OpenKey(EntryKey(entry), true))
        throw ERegistryException(std::string("Failed to set data for '") + ValueName + "'");
    registry->WriteString(ValueName, value);
}

std::string RegistryManager::ReadEntry(const std::string& entry) {
    if (!registry->OpenKey(EntryKey(entry), false)) return {};
    return registry->ReadString(ValueName);
}

bool RegistryManager::EntryExists(const std::string& entry) {
    return registry->KeyExists(EntryKey(entry));
}
