#pragma once

// Registry access for the current user, over a hive file in the registry's
// own export format (REGEDIT4), one per user:
//   $XDG_CONFIG_HOME/quorvex/HKEY_CURRENT_USER.reg   (default ~/.config/...)
// Key and value names compare case-insensitively; value types are kept.
// Every operation reads the file afresh. A change is written atomically
// (temporary file, fsync, rename) while holding an exclusive lock on
// HKEY_CURRENT_USER.reg.lock beside it, so concurrent writers lose nothing.
// A hive that cannot be read or parsed raises ERegistryException naming the
// file and the line, and is never overwritten.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Exception.h"
#include "platform/RegistryHive.h"

class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

typedef std::uintptr_t HKEY;
#define HKEY_CURRENT_USER ((HKEY)0x80000001)

class TRegistry {
public:
    TRegistry();
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // Only HKEY_CURRENT_USER has a hive here; other roots open nothing.
    HKEY RootKey() const { return rootKey; }
    void SetRootKey(HKEY key);

    // A path starting with '\' is taken from the root key, any other from the
    // current key. With canCreate the key and every missing key above it are
    // created. On success the key becomes the current key.
    bool OpenKey(const std::string& key, bool canCreate);
    void CloseKey();
    // The current key's path below the root, without a leading '\'.
    std::string CurrentPath() const { return currentPath; }
    bool HasCurrentKey() const { return hasCurrentKey; }

    bool KeyExists(const std::string& key);
    bool ValueExists(const std::string& name);
    // Deletes the key with its values and every key below it. False when it
    // does not exist or is the root. A current key that was deleted stays
    // current, as an open handle does: writing to it then fails.
    bool DeleteKey(const std::string& key);
    // The same, only when `condition` holds for the key as it is in the
    // hive at the moment of deleting (tested under the lock, so no change
    // of another process slips in between); `path` is the key's full path.
    using DeleteCondition = std::function<bool(const RegistryHive& hive, std::string_view path)>;
    bool DeleteKey(const std::string& key, const DeleteCondition& condition);
    // The names of the keys directly below the current key, and of its values.
    std::vector<std::string> GetKeyNames();
    std::vector<std::string> GetValueNames();

    // Sets `name` in the current key to REG_SZ holding the text and one NUL,
    // replacing a value of any type. Raises "Failed to set data for '<name>'".
    void WriteString(const std::string& name, const std::string& text);
    void WriteExpandString(const std::string& name, const std::string& text);
    void WriteInteger(const std::string& name, std::uint32_t value);
    void WriteBinaryData(const std::string& name, const std::vector<std::uint8_t>& data);
    // Any type with raw data, for values this program does not make itself.
    void WriteRawValue(const std::string& name, std::uint32_t type,
                       const std::vector<std::uint8_t>& data);

    // REG_SZ and REG_EXPAND_SZ give their data up to the first NUL; a missing
    // value or one of 0 bytes gives "". Another type raises
    // "Invalid data type for '<name>'"; a hive that cannot be read or parsed
    // raises "Failed to get data for '<name>'" with the reason.
    std::string ReadString(const std::string& name);

    // The file this registry reads and writes, from the environment of now.
    static std::string HivePath();

private:
    // The path below the root that `key` names, or nothing when it names no
    // valid key of the hive file.
    std::optional<std::string> Resolve(const std::string& key) const;
    static std::string HivePathOf(const std::string& below);

    HKEY rootKey = HKEY_CURRENT_USER;
    std::string currentPath;
    bool hasCurrentKey = false;
};
