#include "tests/support/TestProcesses.h"

#include <grp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>
#include <stdexcept>

namespace testfiles {

int MemoryFile(const std::string& content) {
    int fd = memfd_create("test", MFD_CLOEXEC);
    if (fd < 0) throw std::runtime_error("memfd_create failed");
    if (write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
        throw std::runtime_error("cannot fill a memory file");
    lseek(fd, 0, SEEK_SET);
    return fd;
}

std::string ReadAllAndClose(int fd) {
    std::string content;
    lseek(fd, 0, SEEK_SET);
    char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) content.append(buffer, got);
    close(fd);
    return content;
}

ChildCheck::ChildCheck(const std::function<std::string()>& check) {
    reportFile = MemoryFile("");
    pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        std::string found;
        try {
            found = check();
        } catch (const std::exception& error) {
            found = std::string("raised: ") + error.what();
        } catch (...) {
            found = "raised something";
        }
        if (!found.empty()) (void)!write(reportFile, found.data(), found.size());
        _exit(found.empty() ? 0 : 1);
    }
}

ChildCheck::~ChildCheck() {
    Complaint();
}

std::string ChildCheck::Complaint() {
    if (done) return complaint;
    done = true;
    int status = 0;
    waitpid(pid, &status, 0);
    complaint = ReadAllAndClose(reportFile);
    if (WIFSIGNALED(status))
        complaint += "ended by signal " + std::to_string(WTERMSIG(status));
    else if (complaint.empty() && (!WIFEXITED(status) || WEXITSTATUS(status) != 0))
        complaint = "failed without saying why";
    return complaint;
}

std::string AsUnprivilegedUser(const std::vector<std::string>& folders,
                               const std::function<std::string()>& check) {
    if (geteuid() != 0) return check();
    const uid_t nobody = 65534;
    for (const std::string& folder : folders)
        if (chown(folder.c_str(), nobody, nobody) != 0) return "cannot hand " + folder + " over";
    ChildCheck child([&]() -> std::string {
        if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
            return "cannot drop privileges";
        return check();
    });
    return child.Complaint();
}

}  // namespace testfiles
