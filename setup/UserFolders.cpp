#include "setup/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "setup/Files.h"

namespace {

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string Home() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return WithoutTrailingSlashes(home);
    if (const passwd* user = getpwuid(getuid()); user && user->pw_dir && user->pw_dir[0] == '/')
        return WithoutTrailingSlashes(user->pw_dir);
    throw SetupError("Cannot find your home folder: HOME is not set");
}

// A single folder from the environment; relative values are to be ignored.
std::string FolderFromEnvironment(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    if (value && value[0] == '/') return WithoutTrailingSlashes(value);
    return fallback;
}

// A list of folders separated by ':', relative ones left out.
std::vector<std::string> FoldersFromEnvironment(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    std::string list = value && value[0] ? value : fallback;
    std::vector<std::string> folders;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        std::string folder = list.substr(start, end - start);
        if (!folder.empty() && folder[0] == '/') folders.push_back(WithoutTrailingSlashes(folder));
        start = end + 1;
    }
    return folders;
}

bool ListHolds(const std::vector<std::string>& folders, const std::string& folder) {
    const std::string wanted = ResolvedPath(folder);
    return std::any_of(folders.begin(), folders.end(),
                       [&](const std::string& each) { return ResolvedPath(each) == wanted; });
}

}  // namespace

bool UserFolders::SearchesData(const std::string& dataFolder) const {
    return ResolvedPath(dataHome) == ResolvedPath(dataFolder) || ListHolds(dataDirs, dataFolder);
}

bool UserFolders::SearchesPrograms(const std::string& binFolder) const {
    return ListHolds(programPath, binFolder);
}

UserFolders FindUserFolders() {
    UserFolders folders;
    // Home is asked for only when a folder is not given outright.
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string home = (dataHome && dataHome[0] == '/' && configHome && configHome[0] == '/')
                           ? std::string()
                           : Home();
    folders.dataHome = FolderFromEnvironment("XDG_DATA_HOME", home + "/.local/share");
    folders.configHome = FolderFromEnvironment("XDG_CONFIG_HOME", home + "/.config");
    folders.dataDirs = FoldersFromEnvironment("XDG_DATA_DIRS", "/usr/local/share/:/usr/share/");
    folders.configDirs = FoldersFromEnvironment("XDG_CONFIG_DIRS", "/etc/xdg");
    folders.programPath = FoldersFromEnvironment("PATH", "/usr/local/bin:/usr/bin:/bin");
    return folders;
}
