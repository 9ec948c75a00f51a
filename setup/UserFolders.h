#pragma once

// Where the desktop looks for a user's files, by the XDG base directory rules.

#include <string>
#include <vector>

struct UserFolders {
    std::string dataHome;                 // $XDG_DATA_HOME, or ~/.local/share
    std::string configHome;               // $XDG_CONFIG_HOME, or ~/.config
    std::vector<std::string> dataDirs;    // $XDG_DATA_DIRS, or /usr/local/share:/usr/share
    std::vector<std::string> configDirs;  // $XDG_CONFIG_DIRS, or /etc/xdg
    std::vector<std::string> programPath; // $PATH

    // Whether the desktop finds files below `dataFolder` (applications,
    // icons, service menus, actions): it is the data home or a data dir.
    bool SearchesData(const std::string& dataFolder) const;
    bool SearchesPrograms(const std::string& binFolder) const;
};

// From the environment of now. Raises SetupError when there is no home.
UserFolders FindUserFolders();
