#pragma once

// The user's base folders as the freedesktop base directory rules name
// them: the variable when it holds an absolute path, else the given folder
// below the home folder (HOME, or the user database when HOME is unset or
// relative). Trailing slashes are dropped. "" when no home folder is known.

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

inline std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

inline std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return WithoutTrailingSlashes(home);
    if (const passwd* user = getpwuid(getuid()); user && user->pw_dir && user->pw_dir[0] == '/')
        return WithoutTrailingSlashes(user->pw_dir);
    return {};
}

// For example UserFolder("XDG_CONFIG_HOME", ".config").
inline std::string UserFolder(const char* variable, const char* belowHome) {
    if (const char* value = std::getenv(variable); value && value[0] == '/') return WithoutTrailingSlashes(value);
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/" + belowHome;
}
