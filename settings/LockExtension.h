#pragma once

// The names the settings are kept under, and the one user setting: whether
// encrypted files receive the ".locked" suffix.

#include <optional>
#include <string>

class RegistryManager;

inline constexpr char SettingsCompany[] = "Orvandel Software";
inline constexpr char SettingsProduct[] = "Sildra";
inline constexpr char LockExtensionEntry[] = "LockExtensionEntry";
inline constexpr char InstallationDirectoryEntry[] = "InstallationDirectory";
inline constexpr char LockedSuffix[] = ".locked";

// On exactly when the stored text is "TRUE", byte for byte.
bool LockExtensionIsOn(const std::string& storedText);
std::string LockExtensionText(bool on);

// The setting as a program that never stores it sees it: no entry yet means
// the product's default, on.
bool ReadLockExtensionSetting(RegistryManager& registryManager);

// The name a decrypted file takes: the path without a trailing ".locked",
// compared byte for byte. Nothing when the path does not end so, or when
// no name would be left (".locked" alone, or "folder/.locked").
std::optional<std::string> NameWithoutLockedSuffix(const std::string& path);
