#pragma once

// Helpers for tests that run code in child processes: memory files for
// their input and output, a check run in a fork, and a check run as an
// unprivileged user.

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace testfiles {

// A file in memory holding `content`, positioned at its start.
int MemoryFile(const std::string& content);
// Everything in the file from its start; closes it.
std::string ReadAllAndClose(int fd);

// Runs `check` in a forked process and gives its complaint ("" when it has
// none). A crash of the child counts as a complaint.
class ChildCheck {
public:
    explicit ChildCheck(const std::function<std::string()>& check);
    ~ChildCheck();
    ChildCheck(const ChildCheck&) = delete;
    ChildCheck& operator=(const ChildCheck&) = delete;

    std::string Complaint();

private:
    pid_t pid = -1;
    int reportFile = -1;
    bool done = false;
    std::string complaint;
};

// Runs `check` as the unprivileged user 65534 when the tests run as root
// (root reads and writes regardless of permissions), after handing it the
// given folders; as anyone else, runs it directly.
std::string AsUnprivilegedUser(const std::vector<std::string>& folders,
                               const std::function<std::string()>& check);

}  // namespace testfiles
