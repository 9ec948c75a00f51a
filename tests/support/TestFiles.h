#pragma once

// Small helpers for tests that work on real files in a private folder.

#include <string>
#include <vector>

namespace testfiles {

using Bytes = std::string;

// A fresh folder under $TMPDIR (or /tmp), removed with all it holds, even
// read-only parts, when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path; }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    // Names in the folder, sorted, without "." and "..".
    std::vector<std::string> Names() const;

private:
    std::string path;
};

void WriteFile(const std::string& path, const Bytes& content);
Bytes ReadFile(const std::string& path);
bool Exists(const std::string& path);  // without following a symbolic link
// Deterministic bytes of the given length, different for each seed.
Bytes PatternBytes(std::size_t length, unsigned seed = 1);

// Sets an environment variable for the object's life and restores it after.
class ScopedEnv {
public:
    ScopedEnv(const std::string& name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name;
    bool hadValue;
    std::string oldValue;
};

// XDG_CONFIG_HOME and XDG_DATA_HOME pointed into a private folder, so
// settings and key store of a test touch nothing of the user's.
class PrivateHome {
public:
    PrivateHome();
    const TempFolder& Folder() const { return folder; }
    std::string ConfigHome() const { return folder / "config"; }
    std::string DataHome() const { return folder / "data"; }

private:
    TempFolder folder;
    ScopedEnv config;
    ScopedEnv data;
};

}  // namespace testfiles
