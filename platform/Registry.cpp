#include "platform/Registry.h"
#include "platform/PosixFile.h"
#include "platform/UserFolders.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace {

constexpr char RootName[] = "HKEY_CURRENT_USER";
constexpr char HiveFolderName[] = "quorvex";
constexpr char HiveFileName[] = "HKEY_CURRENT_USER.reg";
constexpr char LockSuffix[] = ".lock";
// Settings take a few hundred bytes; anything near this size is not a hive
// of ours, and reading it whole could take all the memory there is.
constexpr std::size_t MaxHiveSize = 64u << 20;

// A problem with the hive file, worded to follow "Failed to ...: ".
class HiveFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string ErrorText(int error) { return std::generic_category().message(error); }

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

[[noreturn]] void FailFile(const std::string& path, const std::string& what, int error) {
    throw HiveFileError("the registry file " + Quoted(path) + " " + what + " (" +
                        ErrorText(error) + ")");
}

std::string SetFailed(const std::string& name) { return "Failed to set data for '" + name + "'"; }
std::string GetFailed(const std::string& name) { return "Failed to get data for '" + name + "'"; }
std::string InvalidType(const std::string& name) {
    return "Invalid data type for '" + name + "'";
}

// The hive's text; a missing file is an empty hive.
std::string ReadHiveText(const std::string& path) {
    std::string text;
    const int error = ReadWholeFile(path, MaxHiveSize, text);
    if (error == ENOENT) return {};
    if (error == EFBIG) FailFile(path, "is too large to be a registry file", EFBIG);
    if (error != 0) FailFile(path, "cannot be read", error);
    return text;
}

RegistryHive LoadHive(const std::string& path) {
    std::string text = ReadHiveText(path);
    try {
        return RegistryHive::Parse(text);
    } catch (const RegistryParseError& error) {
        throw HiveFileError("the registry file " + Quoted(path) + " is damaged at line " +
                            std::to_string(error.Line()) + " (" + error.Problem() +
                            "). The file is left as it is; repair or remove it.");
    }
}

// Creates the hive's folder and any missing folder above it, private to
// the user as configuration folders should be.
void MakeFolders(const std::string& folder) {
    if (int error = MakePrivateFolders(folder))
        throw HiveFileError("the folder " + Quoted(folder) + " cannot be created (" + ErrorText(error) + ")");
}

// Holds the exclusive lock that serializes changes between processes: each
// change reads, changes and writes the hive while it holds the lock, so no
// process writes over a change it has not seen.
class HiveLock {
public:
    explicit HiveLock(const std::string& path)
        : file(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (file.Get() < 0)
            throw HiveFileError("the lock file " + Quoted(path) + " cannot be opened (" +
                                ErrorText(errno) + ")");
        while (flock(file.Get(), LOCK_EX) != 0) {
            if (errno != EINTR)
                throw HiveFileError("the lock file " + Quoted(path) + " cannot be locked (" +
                                    ErrorText(errno) + ")");
        }
    }
    // Closing the file releases the lock.

private:
    FileDescriptor file;
};

// Replaces the hive file in one step: a reader sees the old hive or the new
// one, and a crash at any point leaves one of the two on disk.
void SaveHive(const std::string& path, const RegistryHive& hive) {
    std::string text = hive.Text();
    if (text.size() > MaxHiveSize) FailFile(path, "cannot be written", EFBIG);

    // A hive linked from elsewhere (a dotfiles folder) stays linked, and
    // keeps the permissions it has.
    mode_t mode = 0600;
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) mode = info.st_mode & 07777;

    if (int error = ReplaceFileAtomically(path, text, mode)) FailFile(path, "cannot be written", error);
}

// Runs one change under the lock on the hive as it is on disk now; the hive
// is written only when `change` says it changed something.
template <typename Change>
void ChangeHive(Change change) {
    std::string path = TRegistry::HivePath();
    MakeFolders(FolderOf(path));
    HiveLock lock(path + LockSuffix);
    RegistryHive hive = LoadHive(path);
    if (change(hive)) SaveHive(path, hive);
}

}  // namespace

TRegistry::TRegistry() = default;

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY key) {
    CloseKey();
    rootKey = key;
}

std::optional<std::string> TRegistry::Resolve(const std::string& key) const {
    if (rootKey != HKEY_CURRENT_USER) return std::nullopt;
    std::string below;
    if (!key.empty() && key.front() == '\\')
        below = key.substr(1);
    else if (hasCurrentKey && !currentPath.empty())
        below = key.empty() ? currentPath : currentPath + '\\' + key;
    else
        below = key;
    if (!RegistryHive::IsValidKeyPath(HivePathOf(below))) return std::nullopt;
    return below;
}

std::string TRegistry::HivePathOf(const std::string& below) {
    return below.empty() ? std::string(RootName) : RootName + ('\\' + below);
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    std::optional<std::string> below = Resolve(key);
    if (!below) return false;
    // The root key always exists; it needs no line in the file.
    if (!below->empty()) {
        std::string path = HivePathOf(*below);
        try {
            if (canCreate) {
                ChangeHive([&](RegistryHive& hive) {
                    if (hive.KeyExists(path)) return false;
                    return hive.CreateKey(path);
                });
            } else if (!LoadHive(HivePath()).KeyExists(path)) {
                return false;
            }
        } catch (const HiveFileError& error) {
            throw ERegistryException("Failed to open the key '" + key + "': " + error.what());
        }
    }
    CloseKey();
    currentPath = *below;
    hasCurrentKey = true;
    return true;
}

void TRegistry::CloseKey() {
    currentPath.clear();
    hasCurrentKey = false;
}

bool TRegistry::KeyExists(const std::string& key) {
    std::optional<std::string> below = Resolve(key);
    if (!below) return false;
    if (below->empty()) return true;
    try {
        return LoadHive(HivePath()).KeyExists(HivePathOf(*below));
    } catch (const HiveFileError& error) {
        throw ERegistryException("Failed to look up the key '" + key + "': " + error.what());
    }
}

bool TRegistry::ValueExists(const std::string& name) {
    if (!hasCurrentKey) return false;
    try {
        return LoadHive(HivePath()).FindValue(HivePathOf(currentPath), name) != nullptr;
    } catch (const HiveFileError& error) {
        throw ERegistryException("Failed to look up the value '" + name + "': " + error.what());
    }
}

bool TRegistry::DeleteKey(const std::string& key) {
    return DeleteKey(key, nullptr);
}

bool TRegistry::DeleteKey(const std::string& key, const DeleteCondition& condition) {
    std::optional<std::string> below = Resolve(key);
    if (!below || below->empty()) return false;
    std::string path = HivePathOf(*below);
    bool deleted = false;
    try {
        // Deleting what is not there changes nothing, not even the folders.
        if (!LoadHive(HivePath()).KeyExists(path)) return false;
        ChangeHive([&](RegistryHive& hive) {
            deleted = (!condition || condition(hive, path)) && hive.DeleteKey(path);
            return deleted;
        });
    } catch (const HiveFileError& error) {
        throw ERegistryException("Failed to delete the key '" + key + "': " + error.what());
    }
    return deleted;
}

std::vector<std::string> TRegistry::GetKeyNames() {
    if (!hasCurrentKey) return {};
    try {
        return LoadHive(HivePath()).SubKeyNames(HivePathOf(currentPath));
    } catch (const HiveFileError& error) {
        throw ERegistryException("Failed to list the keys: " + std::string(error.what()));
    }
}

std::vector<std::string> TRegistry::GetValueNames() {
    if (!hasCurrentKey) return {};
    try {
        return LoadHive(HivePath()).ValueNames(HivePathOf(currentPath));
    } catch (const HiveFileError& error) {
        throw ERegistryException("Failed to list the values: " + std::string(error.what()));
    }
}

void TRegistry::WriteString(const std::string& name, const std::string& text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    WriteRawValue(name, REG_SZ, data);
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    WriteRawValue(name, REG_EXPAND_SZ, data);
}

void TRegistry::WriteInteger(const std::string& name, std::uint32_t value) {
    std::vector<std::uint8_t> data;
    for (int shift = 0; shift < 32; shift += 8)
        data.push_back(static_cast<std::uint8_t>(value >> shift));
    WriteRawValue(name, REG_DWORD, data);
}

void TRegistry::WriteBinaryData(const std::string& name, const std::vector<std::uint8_t>& data) {
    WriteRawValue(name, REG_BINARY, data);
}

void TRegistry::WriteRawValue(const std::string& name, std::uint32_t type,
                              const std::vector<std::uint8_t>& data) {
    if (!hasCurrentKey || !RegistryHive::IsValidValueName(name))
        throw ERegistryException(SetFailed(name));
    std::string path = HivePathOf(currentPath);
    RegistryValue value{type, data};
    bool keyGone = false;
    try {
        ChangeHive([&](RegistryHive& hive) {
            if (currentPath.empty()) hive.CreateKey(path);
            const RegistryValue* stored = hive.FindValue(path, name);
            if (stored && *stored == value) return false;
            // Someone removed the key since it was opened; as with a deleted
            // key's handle, the value has nowhere to go.
            keyGone = !hive.SetValue(path, name, value);
            return !keyGone;
        });
    } catch (const HiveFileError& error) {
        throw ERegistryException(SetFailed(name) + ": " + error.what());
    }
    if (keyGone)
        throw ERegistryException(SetFailed(name) + ": the key '" + path + "' no longer exists");
}

std::string TRegistry::ReadString(const std::string& name) {
    if (!hasCurrentKey) return {};
    RegistryHive hive;
    try {
        hive = LoadHive(HivePath());
    } catch (const HiveFileError& error) {
        throw ERegistryException(GetFailed(name) + ": " + error.what());
    }
    const RegistryValue* value = hive.FindValue(HivePathOf(currentPath), name);
    if (!value || value->data.empty()) return {};
    if (value->type != REG_SZ && value->type != REG_EXPAND_SZ)
        throw ERegistryException(InvalidType(name));
    std::string text(value->data.begin(), value->data.end());
    return text.substr(0, text.find('\0'));
}

std::string TRegistry::HivePath() {
    const std::string configHome = UserFolder("XDG_CONFIG_HOME", ".config");
    if (configHome.empty())
        throw ERegistryException("Failed to find the settings folder: neither XDG_CONFIG_HOME nor HOME is set");
    return configHome + '/' + HiveFolderName + '/' + HiveFileName;
}
