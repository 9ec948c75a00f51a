#include "tests/support/TestFiles.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testfiles {

namespace {

std::string MakeTempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quorvex-test-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    return pattern;
}

// Gives the owner full rights on every folder below, so removal cannot stall
// on a folder a test made read-only.
void OpenUp(const std::filesystem::path& folder) {
    std::error_code error;
    chmod(folder.c_str(), 0700);
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) chmod(it->path().c_str(), 0700);
    }
}

}  // namespace

TempFolder::TempFolder() : path(MakeTempFolder()) {}

TempFolder::~TempFolder() {
    OpenUp(path);
    std::error_code error;
    std::filesystem::remove_all(path, error);
}

std::vector<std::string> TempFolder::Names() const {
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void WriteFile(const std::string& path, const Bytes& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create " + path);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool Exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

Bytes PatternBytes(std::size_t length, unsigned seed) {
    Bytes bytes(length, '\0');
    std::uint32_t state = seed * 2654435761u + 12345u;
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value) : name(name) {
    const char* old = std::getenv(name.c_str());
    hadValue = old != nullptr;
    if (old) oldValue = old;
    setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (hadValue)
        setenv(name.c_str(), oldValue.c_str(), 1);
    else
        unsetenv(name.c_str());
}

PrivateHome::PrivateHome()
    : config("XDG_CONFIG_HOME", folder / "config"), data("XDG_DATA_HOME", folder / "data") {}

}  // namespace testfiles
