#include "tests/proof/ProofSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "engine/CheckPhrase.h"
#include "engine/FileManager.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestProcesses.h"

namespace proof {

using testfiles::MemoryFile;
using testfiles::ReadAllAndClose;

namespace {

Bytes ReadLink(const std::string& path) {
    std::string target(4096, '\0');
    ssize_t length = readlink(path.c_str(), target.data(), target.size());
    target.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
    return target;
}

// Hands the file's bytes to `take` piece by piece, through one buffer that
// lives as long as the process: fresh memory for every file of tens of
// megabytes would cost more than reading it.
template <typename Take>
void ForEachChunk(const std::string& path, Take take) {
    static std::vector<char> buffer(1 << 20);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    for (ssize_t got; (got = read(fd, buffer.data(), buffer.size())) != 0;) {
        if (got < 0) {
            close(fd);
            throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
        }
        take(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
    close(fd);
}

// Size and a digest stand in for the content in snapshots.
std::string Fingerprint(const std::string& path) {
    if (access(path.c_str(), R_OK) != 0) return "unreadable";
    std::size_t size = 0;
    std::size_t digest = 0;
    ForEachChunk(path, [&](std::string_view chunk) {
        size += chunk.size();
        digest = digest * 1099511628211u ^ std::hash<std::string_view>{}(chunk);
    });
    return std::to_string(size) + " bytes, digest " + std::to_string(digest);
}

}  // namespace

Bytes Contents(const std::string& path) {
    Bytes content;
    ForEachChunk(path, [&](std::string_view chunk) { content.append(chunk); });
    return content;
}

bool HoldsExactly(const std::string& path, std::string_view expected) {
    std::size_t offset = 0;
    bool same = true;
    ForEachChunk(path, [&](std::string_view chunk) {
        same = same && chunk == expected.substr(offset, chunk.size());
        offset += chunk.size();
    });
    return same && offset == expected.size();
}

namespace {

void SnapshotInto(const std::string& folder, const std::string& relative, Snapshot& snapshot) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) throw std::runtime_error("cannot list " + folder + ": " + std::strerror(errno));
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        const std::string key = relative.empty() ? name : relative + "/" + name;
        struct stat info;
        if (lstat(path.c_str(), &info) != 0) throw std::runtime_error("cannot stat " + path);
        const std::string mode = " mode " + std::to_string(info.st_mode & 07777);
        if (S_ISDIR(info.st_mode)) {
            snapshot[key] = "d" + mode;
            SnapshotInto(path, key, snapshot);
        } else if (S_ISLNK(info.st_mode)) {
            snapshot[key] = "l " + ReadLink(path);
        } else if (S_ISFIFO(info.st_mode)) {
            snapshot[key] = "p" + mode;
        } else if (S_ISREG(info.st_mode)) {
            snapshot[key] = "f" + mode + " " + Fingerprint(path);
        } else {
            snapshot[key] = "?" + mode;
        }
    }
}

}  // namespace

CliProcess::CliProcess(const std::string& folder, Words words, const Bytes& input,
                       const std::function<void()>& inChild) {
    std::vector<char*> argv{const_cast<char*>(QUORVEX_CLI_PATH)};
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    int in = MemoryFile(input);
    errFile = MemoryFile("");
    pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0 || setsid() < 0) _exit(126);
        int null = open("/dev/null", O_WRONLY);
        dup2(in, 0);
        dup2(null, 1);
        dup2(errFile, 2);
        if (inChild) inChild();
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in);
}

CliProcess::~CliProcess() {
    if (!reaped && pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    if (errFile >= 0) close(errFile);
}

bool CliProcess::HasEnded() {
    if (reaped) return true;
    if (waitpid(pid, &waitStatus, WNOHANG) == pid) reaped = true;
    return reaped;
}

void CliProcess::Signal(int signal) {
    if (!reaped) kill(pid, signal);
}

Outcome CliProcess::Wait(std::chrono::milliseconds limit) {
    Outcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!HasEnded()) {
        if (std::chrono::steady_clock::now() > deadline) {
            outcome.hung = true;
            kill(pid, SIGKILL);
            waitpid(pid, &waitStatus, 0);
            reaped = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (WIFEXITED(waitStatus)) outcome.status = WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) outcome.signal = WTERMSIG(waitStatus);
    outcome.err = ReadAllAndClose(errFile);
    errFile = -1;
    return outcome;
}

Outcome RunCli(const std::string& folder, Words words, const Bytes& input,
               const std::function<void()>& inChild) {
    CliProcess process(folder, std::move(words), input, inChild);
    return process.Wait();
}

Snapshot TakeSnapshot(const std::string& folder) {
    Snapshot snapshot;
    SnapshotInto(folder, "", snapshot);
    return snapshot;
}

Bytes EncryptedForm(const Bytes& plain, const char* password) {
    testfiles::TempFolder scratch;
    const std::string file = scratch / "plain";
    testfiles::WriteFile(file, plain);
    FileManager fileManager(CheckPhrase);
    if (!fileManager.EncryptInPlace(file.c_str(), password))
        throw std::runtime_error("the engine cannot encrypt a scratch file");
    return Contents(file);
}

mode_t ModeOf(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return static_cast<mode_t>(-1);
    return info.st_mode & 07777;
}

}  // namespace proof
