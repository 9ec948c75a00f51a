#pragma once

// Named text entries kept per user below the key
// Software\<company>\<product>, one subkey per entry holding the REG_SZ value
// "Value". Registry failures raise ERegistryException.

#include <memory>
#include <string>

#include "platform/Registry.h"

class RegistryManager {
public:
    RegistryManager(const std::string& company, const std::string& product);
    ~RegistryManager();
    RegistryManager(const RegistryManager&) = delete;
    RegistryManager& operator=(const RegistryManager&) = delete;

    void WriteEntry(const std::string& entry, const std::string& value);
    // The stored text, or "" when the entry or its value is missing.
    std::string ReadEntry(const std::string& entry);
    bool EntryExists(const std::string& entry);

private:
    std::string EntryKey(const std::string& entry) const;

    std::string baseKey;
    std::string product;
    std::string company;
    std::unique_ptr<TRegistry> registry;
};
