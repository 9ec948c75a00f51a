#include "setup/Setup.h"

#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "platform/Registry.h"
#include "settings/LockExtension.h"
#include "settings/RegistryManager.h"
#include "setup/Entries.h"
#include "setup/Files.h"
#include "setup/Manifest.h"
#include "setup/ThunarActions.h"

namespace {

constexpr char GnomeFiles[] = "GNOME Files";
constexpr char Dolphin[] = "Dolphin";
constexpr char Nemo[] = "Nemo";
constexpr char Thunar[] = "Thunar";
constexpr char Applications[] = "Applications menu";
constexpr char Help[] = "Help";

constexpr mode_t ExecutableMode = 0755;
constexpr mode_t PlainMode = 0644;

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

std::string BaseKey() {
    return std::string("\\Software\\") + SettingsCompany + "\\" + SettingsProduct;
}

std::string EntryKey(const std::string& entry) { return BaseKey() + "\\" + entry; }

std::string ThunarActionsFile(const UserFolders& user) { return user.configHome + "/Thunar/uca.xml"; }

// Where each entry goes for one user.
std::string GnomeFilesScriptFile(const UserFolders& user) {
    return user.dataHome + "/nautilus/scripts/" + GnomeFilesScriptName;
}
std::vector<std::string> ServiceMenuFiles(const UserFolders& user) {
    return {user.dataHome + "/kio/servicemenus/" + ServiceMenuFile,
            user.dataHome + "/kservices5/ServiceMenus/" + ServiceMenuFile};
}
std::string NemoActionUserFile(const UserFolders& user) {
    return user.dataHome + "/nemo/actions/" + NemoActionFile;
}
std::string ApplicationEntryUserFile(const UserFolders& user) {
    return user.dataHome + "/applications/" + ApplicationEntryFile;
}

// Runs one step; a failure is reported and the next step still runs.
template <typename Step>
void RunStep(Report& report, const std::string& label, Step step) {
    try {
        step();
    } catch (const std::exception& error) {
        report.Failed(label + ": " + error.what());
    }
}

void RecordFolders(Manifest& manifest, const std::vector<std::string>& created) {
    manifest.folders.insert(created.begin(), created.end());
}

bool IsOurs(const Manifest& manifest, const std::string& path, const std::string& content) {
    auto recorded = manifest.files.find(path);
    return recorded != manifest.files.end() && recorded->second == ContentDigest(content);
}

// Puts one of setup's files in place; a file of the user's that has its name
// stays as it is.
void PlaceFile(Manifest& manifest, Report& report, const std::string& label,
               const std::string& path, const std::string& content, mode_t mode) {
    std::optional<std::string> existing = ReadSmallFile(path);
    bool ours = existing && IsOurs(manifest, path, *existing);
    if (existing && *existing == content) {
        if (ours && FileMode(path) != mode && chmod(path.c_str(), mode) != 0)
            throw SetupError("Cannot set the permissions of " + Quoted(path));
        report.Done(label + ": " + path + " is in place already");
        return;
    }
    if (existing && !ours) {
        report.Failed(label + ": left " + Quoted(path) +
                      " as it is: a file of that name is there that quorvex-setup did not "
                      "write, or that was changed since. Move it away and run quorvex-setup "
                      "again to add the entry.");
        return;
    }
    std::vector<std::string> created;
    MakeFolders(FolderOf(path), created);
    RecordFolders(manifest, created);
    WriteFileAtomically(path, content, mode);
    manifest.files[path] = ContentDigest(content);
    report.Done(label + ": " + (existing ? "updated " : "added ") + path);
}

// Removes one of setup's files if it is still as setup wrote it.
void WithdrawFile(Manifest& manifest, Report& report, const std::string& label,
                  const std::string& path) {
    auto recorded = manifest.files.find(path);
    if (recorded == manifest.files.end()) return;
    std::optional<std::string> existing = ReadSmallFile(path);
    if (existing && ContentDigest(*existing) == recorded->second) {
        RemoveFile(path);
        report.Done(label + ": removed " + path);
    } else if (existing) {
        report.Done(label + ": left " + path +
                    " as it is: it was changed after quorvex-setup wrote it");
    }
    manifest.files.erase(recorded);
}

// The installation's own entry is found by every user's desktop when its
// data folder is searched and its program is on the path.
bool InstalledEntryServes(const Installation& installation, const UserFolders& user,
                          const std::string& relativePath) {
    return user.SearchesData(installation.dataFolder) &&
           user.SearchesPrograms(installation.binFolder) &&
           FileMode(installation.dataFolder + "/" + relativePath).has_value();
}

void PlaceOrLeaveToInstallation(Manifest& manifest, Report& report, const std::string& label,
                                bool installedServes, const std::string& installedFile,
                                const std::vector<std::string>& paths, const std::string& content,
                                mode_t mode) {
    if (installedServes) {
        // An earlier run for an installation elsewhere may have added a copy
        // of the user's own; it would now stand in front of this one.
        for (const auto& path : paths) WithdrawFile(manifest, report, label, path);
        report.Done(label + ": " + installedFile + " serves every user already");
        return;
    }
    for (const auto& path : paths) PlaceFile(manifest, report, label, path, content, mode);
}

std::optional<std::string> SystemThunarActions(const UserFolders& user) {
    for (const auto& folder : user.configDirs)
        if (auto text = ReadSmallFile(folder + "/Thunar/uca.xml")) return text;
    return std::nullopt;
}

// Takes setup's action out of uca.xml; the file goes when setup created it
// and it is back to what it was created with.
void WithdrawThunarAction(Report& report, const std::string& path,
                          const std::string& createdWithDigest) {
    std::optional<std::string> existing = ReadSmallFile(path);
    if (!existing) return;
    std::string remaining = WithoutThunarAction(*existing, ThunarActionId);
    if (!createdWithDigest.empty() && ContentDigest(remaining) == createdWithDigest) {
        RemoveFile(path);
        report.Done(std::string(Thunar) + ": removed " + path + ", which quorvex-setup had created");
    } else if (remaining != *existing) {
        WriteFileAtomically(path, remaining, FileMode(path).value_or(PlainMode));
        report.Done(std::string(Thunar) + ": took the action out of " + path);
    }
}

void AddThunarAction(Manifest& manifest, Report& report, const Installation& installation,
                     const UserFolders& user, const std::string& iconFile) {
    const std::string path = ThunarActionsFile(user);
    if (manifest.thunar && manifest.thunar->path != path) {
        WithdrawThunarAction(report, manifest.thunar->path, manifest.thunar->createdWithDigest);
        manifest.thunar.reset();
    }
    std::optional<std::string> existing = ReadSmallFile(path);
    std::string createdWithDigest;
    std::string base;
    if (existing) {
        base = *existing;
        if (manifest.thunar) createdWithDigest = manifest.thunar->createdWithDigest;
    } else {
        // A user's uca.xml takes the place of the system's, so a new one
        // starts as a copy of it: the actions the system offers stay.
        base = SystemThunarActions(user).value_or(EmptyThunarActions());
        createdWithDigest = ContentDigest(base);
    }
    std::optional<std::string> merged =
        WithThunarAction(base, ThunarAction(installation.program, iconFile), ThunarActionId);
    if (!merged) {
        report.Failed(std::string(Thunar) + ": left " + Quoted(path) +
                      " as it is: it is not a list of actions that quorvex-setup can read");
        return;
    }
    manifest.thunar = Manifest::ThunarRecord{path, createdWithDigest};
    if (existing && *merged == *existing) {
        report.Done(std::string(Thunar) + ": the action in " + path + " is in place already");
        return;
    }
    std::vector<std::string> created;
    MakeFolders(FolderOf(path), created);
    RecordFolders(manifest, created);
    WriteFileAtomically(path, *merged, existing ? FileMode(path).value_or(PlainMode) : PlainMode);
    report.Done(std::string(Thunar) + ": added the action \"" + EntryName + "\" to " + path);
}

void WriteInstallationDirectory(Manifest& manifest, Report& report,
                                const Installation& installation) {
    const std::string directory = installation.installationDirectory;
    const std::string entryKey = EntryKey(InstallationDirectoryEntry);
    std::vector<std::string> newKeys;
    TRegistry registry;
    for (const std::string& key : {std::string("\\Software"), "\\Software\\" + std::string(SettingsCompany),
                                   BaseKey(), entryKey})
        if (!registry.KeyExists(key)) newKeys.push_back(key);

    RegistryManager store(SettingsCompany, SettingsProduct);
    store.WriteEntry(InstallationDirectoryEntry, directory);
    manifest.registryKeys.insert(newKeys.begin(), newKeys.end());
    manifest.entries[InstallationDirectoryEntry] = directory;
    if (store.ReadEntry(InstallationDirectoryEntry) != directory)
        throw SetupError("the setting \"InstallationDirectory\" did not keep its value");
    report.Done(std::string(Help) + ": Help topics opens " + installation.HelpDocument());
}

void RemoveInstallationDirectory(Manifest& manifest, Report& report) {
    auto recorded = manifest.entries.find(InstallationDirectoryEntry);
    if (recorded == manifest.entries.end()) return;
    const std::string entryKey = EntryKey(InstallationDirectoryEntry);
    TRegistry registry;
    if (registry.KeyExists(entryKey)) {
        // Only the entry exactly as setup wrote it goes: its one text value,
        // nothing else below it. Decided under the registry's lock.
        const std::string& written = recorded->second;
        const bool removed = registry.DeleteKey(entryKey, [&](const RegistryHive& hive, std::string_view path) {
            const RegistryValue* value = hive.FindValue(path, "Value");
            if (!value || value->type != REG_SZ || !hive.SubKeyNames(path).empty() ||
                hive.ValueNames(path) != std::vector<std::string>{"Value"})
                return false;
            const std::string text(value->data.begin(), value->data.end());
            return text.substr(0, text.find('\0')) == written;
        });
        if (removed)
            report.Done(std::string(Help) + ": removed the setting \"InstallationDirectory\"");
        else
            report.Done(std::string(Help) +
                        ": left the setting \"InstallationDirectory\" as it is: it was changed "
                        "after quorvex-setup wrote it");
    }
    manifest.entries.erase(recorded);
}

std::size_t Depth(const std::string& path, char separator) {
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), separator));
}

// Keys setup created go again once nothing is in them, deepest first.
void RemoveCreatedKeys(Manifest& manifest) {
    std::vector<std::string> keys(manifest.registryKeys.begin(), manifest.registryKeys.end());
    std::sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
        return Depth(a, '\\') > Depth(b, '\\');
    });
    TRegistry registry;
    for (const auto& key : keys) {
        registry.DeleteKey(key, [](const RegistryHive& hive, std::string_view path) {
            return hive.SubKeyNames(path).empty() && hive.ValueNames(path).empty();
        });
        manifest.registryKeys.erase(key);
    }
}

// Folders setup created go again once they are empty, deepest first. One
// that still holds something is forgotten when nothing else of setup's is
// left: what it holds is the user's.
void RemoveCreatedFolders(Manifest& manifest, bool forgetFull) {
    std::vector<std::string> folders(manifest.folders.begin(), manifest.folders.end());
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
        return Depth(a, '/') > Depth(b, '/');
    });
    for (const auto& folder : folders) {
        if (RemoveEmptyFolder(folder) || !FileMode(folder) || forgetFull)
            manifest.folders.erase(folder);
    }
}

}  // namespace

void Report::Done(const std::string& text) {
    std::fprintf(out, "  %s\n", text.c_str());
    ++lines;
}

void Report::Failed(const std::string& text) {
    std::fflush(out);
    std::fprintf(err, "quorvex-setup: %s\n", text.c_str());
    std::fflush(err);
    ++lines;
    ++failures;
}

std::string ManifestPath(const UserFolders& user) {
    return user.dataHome + "/quorvex/setup-manifest";
}

void Register(const Installation& installation, const UserFolders& user, Report& report) {
    const std::string manifestPath = ManifestPath(user);
    Manifest manifest = Manifest::Load(manifestPath);
    // The user's desktop finds the installation's icon by name only when it
    // searches the installation's data folder.
    const std::string iconFile =
        user.SearchesData(installation.dataFolder) ? std::string() : installation.IconFile();
    const std::string& program = installation.program;

    RunStep(report, GnomeFiles, [&] {
        PlaceFile(manifest, report, GnomeFiles, GnomeFilesScriptFile(user), GnomeFilesScript(program),
                  ExecutableMode);
    });
    RunStep(report, Dolphin, [&] {
        const std::string installed = "kio/servicemenus/" + std::string(ServiceMenuFile);
        PlaceOrLeaveToInstallation(manifest, report, Dolphin,
                                   InstalledEntryServes(installation, user, installed),
                                   installation.dataFolder + "/" + installed, ServiceMenuFiles(user),
                                   PersonalServiceMenu(program, iconFile), ExecutableMode);
    });
    RunStep(report, Nemo, [&] {
        const std::string installed = "nemo/actions/" + std::string(NemoActionFile);
        PlaceOrLeaveToInstallation(manifest, report, Nemo,
                                   InstalledEntryServes(installation, user, installed),
                                   installation.dataFolder + "/" + installed, {NemoActionUserFile(user)},
                                   PersonalNemoAction(program), PlainMode);
    });
    RunStep(report, Thunar, [&] { AddThunarAction(manifest, report, installation, user, iconFile); });
    RunStep(report, Applications, [&] {
        const std::string installed = "applications/" + std::string(ApplicationEntryFile);
        PlaceOrLeaveToInstallation(manifest, report, Applications,
                                   InstalledEntryServes(installation, user, installed),
                                   installation.dataFolder + "/" + installed,
                                   {ApplicationEntryUserFile(user)},
                                   PersonalApplicationEntry(program, iconFile), PlainMode);
    });
    RunStep(report, Help, [&] { WriteInstallationDirectory(manifest, report, installation); });

    RunStep(report, "Record", [&] {
        std::vector<std::string> created;
        MakeFolders(FolderOf(manifestPath), created);
        RecordFolders(manifest, created);
        manifest.Save(manifestPath);
    });
}

void Unregister(const UserFolders& user, Report& report) {
    const std::string manifestPath = ManifestPath(user);
    Manifest manifest = Manifest::Load(manifestPath);

    const std::vector<std::pair<std::string, std::vector<std::string>>> entries = {
        {GnomeFiles, {GnomeFilesScriptFile(user)}},
        {Dolphin, ServiceMenuFiles(user)},
        {Nemo, {NemoActionUserFile(user)}},
        {Applications, {ApplicationEntryUserFile(user)}},
    };
    for (const auto& [label, paths] : entries)
        for (const auto& path : paths)
            RunStep(report, label, [&] { WithdrawFile(manifest, report, label, path); });
    // Files recorded under other names (by a setup of another version).
    std::vector<std::string> others;
    for (const auto& [path, digest] : manifest.files) others.push_back(path);
    for (const auto& path : others)
        RunStep(report, "Files", [&] { WithdrawFile(manifest, report, "Files", path); });

    RunStep(report, Thunar, [&] {
        // The unique id is setup's own, so the action goes even when no
        // record of it is left.
        const std::string path = manifest.thunar ? manifest.thunar->path : ThunarActionsFile(user);
        WithdrawThunarAction(report, path, manifest.thunar ? manifest.thunar->createdWithDigest : "");
        manifest.thunar.reset();
    });
    RunStep(report, Help, [&] {
        RemoveInstallationDirectory(manifest, report);
        RemoveCreatedKeys(manifest);
    });

    RunStep(report, "Record", [&] {
        bool complete = manifest.files.empty() && !manifest.thunar && manifest.entries.empty() &&
                        manifest.registryKeys.empty();
        if (complete) RemoveFile(manifestPath);
        RemoveCreatedFolders(manifest, complete);
        // What could not be taken back stays recorded for the next try.
        if (!complete) manifest.Save(manifestPath);
    });
}
