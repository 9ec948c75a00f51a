// Decryption of any bytes under a fixed password, on a real file in a
// private folder. Either the password test passes and the file becomes
// content that encrypts back to the input (but for the head's last byte,
// which the test ignores), or the engine reports a wrong password and the
// file is the input byte for byte. Nothing else is ever left in the folder.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/CheckPhrase.h"
#include "engine/FileManager.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

constexpr char Password[] = "fuzz";
constexpr std::size_t HeadLength = sizeof(CheckPhrase) - 1;

struct Place {
    std::string home;    // settings and key store
    std::string folder;  // the file and nothing else
    std::string file;
};

Place& ThePlace() {
    static Place place;
    return place;
}

// On a memory file system where there is one: every successful decryption
// flushes the file and its folder.
std::string MakePrivateFolder() {
    std::string base = "/dev/shm";
    if (access(base.c_str(), W_OK) != 0) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    std::string pattern = base + "/quorvex-fuzz-XXXXXX";
    Require(mkdtemp(pattern.data()) != nullptr, "a private folder can be made");
    return pattern;
}

void RemovePlace() {
    std::error_code ignored;
    std::filesystem::remove_all(ThePlace().home, ignored);
    std::filesystem::remove_all(ThePlace().folder, ignored);
}

void WriteInput(const std::string& path, const std::string& bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Require(fd >= 0, "the input can be written to a file");
    Require(write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()),
            "the input can be written to a file");
    close(fd);
}

std::string ReadBack(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    Require(fd >= 0, "the file is still there");
    std::string bytes;
    char buffer[65536];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, got);
    close(fd);
    return bytes;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    Require(dir != nullptr, "the folder can be listed");
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat info;
    Require(stat(path.c_str(), &info) == 0, "the file is still there");
    return info.st_mode & 07777;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Place& place = ThePlace();
    place.home = MakePrivateFolder();
    place.folder = MakePrivateFolder();
    place.file = place.folder + "/file";
    setenv("XDG_DATA_HOME", (place.home + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (place.home + "/config").c_str(), 1);
    std::atexit(RemovePlace);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Place& place = ThePlace();
    const std::string input(reinterpret_cast<const char*>(data), size);
    WriteInput(place.file, input);

    FileManager fileManager(CheckPhrase);
    const bool decrypted = fileManager.DecryptInPlace(place.file.c_str(), Password);
    Require(NamesIn(place.folder) == std::vector<std::string>{"file"}, "nothing is left beside the file");
    Require(ModeOf(place.file) == 0600, "the file keeps its permissions");
    const std::string output = ReadBack(place.file);

    if (!decrypted) {
        Require(fileManager.LastFailure().reason == FailureReason::WrongPassword,
                "bytes that fail the password test are a wrong password, nothing else");
        Require(output == input, "a failed decryption leaves the file as it was");
    } else {
        Require(output.size() == (size > HeadLength ? size - HeadLength : 0),
                "decryption takes off exactly the head");
        Require(fileManager.EncryptInPlace(place.file.c_str(), Password), "decrypted content encrypts again");
        Require(NamesIn(place.folder) == std::vector<std::string>{"file"}, "nothing is left beside the file");
        // A file shorter than the head was read as if padded with 0xFF.
        std::string expected = input;
        if (expected.size() < HeadLength) expected.resize(HeadLength, '\xFF');
        const std::string again = ReadBack(place.file);
        Require(again.size() == expected.size(), "encrypting back gives the input's length");
        for (std::size_t n = 0; n < expected.size(); ++n)
            Require(n == HeadLength - 1 || again[n] == expected[n],
                    "encrypting back gives the input but for the head's last byte");
    }
    unlink(place.file.c_str());
    return 0;
}
