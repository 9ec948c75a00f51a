#include "setup/UserFolders.h"

#include <algorithm>
#include <cstdlib>

#include "platform/UserFolders.h"
#include "setup/Files.h"

namespace {

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
    folders.dataHome = UserFolder("XDG_DATA_HOME", ".local/share");
    folders.configHome = UserFolder("XDG_CONFIG_HOME", ".config");
    if (folders.dataHome.empty() || folders.configHome.empty())
        throw SetupError("Cannot find your home folder: HOME is not set");
    folders.dataDirs = FoldersFromEnvironment("XDG_DATA_DIRS", "/usr/local/share/:/usr/share/");
    folders.configDirs = FoldersFromEnvironment("XDG_CONFIG_DIRS", "/etc/xdg");
    folders.programPath = FoldersFromEnvironment("PATH", "/usr/local/bin:/usr/bin:/bin");
    return folders;
}
