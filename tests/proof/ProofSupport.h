#pragma once

// Helpers for the tests that run quorvex-cli as a real process against
// real files and then look at everything left on disk.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/TestProcesses.h"

namespace proof {

using testfiles::AsUnprivilegedUser;
using testfiles::ChildCheck;

using Bytes = std::string;
using Words = std::vector<std::string>;

struct Outcome {
    int status = -1;  // exit status, or -1 when ended by a signal
    int signal = 0;
    bool hung = false;  // killed by the watchdog
    std::string err;
};

// quorvex-cli started in `folder` with `input` on standard input, in a
// session of its own without a terminal. `inChild` runs in the new process
// just before the program starts (limits, dropping privileges).
class CliProcess {
public:
    CliProcess(const std::string& folder, Words words, const Bytes& input = "pw\n",
               const std::function<void()>& inChild = {});
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t Pid() const { return pid; }
    bool HasEnded();
    void Signal(int signal);
    // Waits for the end; after `limit` the process is killed and counted as hung.
    Outcome Wait(std::chrono::milliseconds limit = std::chrono::seconds(60));

private:
    pid_t pid = -1;
    bool reaped = false;
    int waitStatus = 0;
    int errFile = -1;
};

Outcome RunCli(const std::string& folder, Words words, const Bytes& input = "pw\n",
               const std::function<void()>& inChild = {});

// Everything below a folder, by path relative to it: "f" for a file with
// its size and a digest of its content, "l target" for a link, "d" for a folder, "p" for a pipe,
// each followed by the mode bits. Two snapshots are equal exactly when
// nothing in the folder was added, removed, renamed, changed or re-moded.
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot(const std::string& folder);

// A file's bytes; and whether they are exactly `expected`, found without
// holding a copy (several tests compare files of tens of megabytes often).
Bytes Contents(const std::string& path);
bool HoldsExactly(const std::string& path, std::string_view expected);

// The file the engine makes of `plain` under `password`, computed beside it.
Bytes EncryptedForm(const Bytes& plain, const char* password);

mode_t ModeOf(const std::string& path);

}  // namespace proof
