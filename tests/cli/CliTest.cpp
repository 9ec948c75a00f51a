// quorvex-cli run as a process on real files: names, exit codes, messages,
// the password from standard input and from a terminal.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/CheckPhrase.h"
#include "engine/ConversionFailure.h"
#include "engine/FileManager.h"
#include "platform/Registry.h"
#include "settings/LockExtension.h"
#include "settings/RegistryManager.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestProcesses.h"

namespace {

using testfiles::Bytes;
using testfiles::MemoryFile;
using testfiles::ReadAllAndClose;
using testfiles::Exists;
using testfiles::PatternBytes;
using testfiles::ReadFile;
using testfiles::WriteFile;
using Names = std::vector<std::string>;
using Words = std::vector<std::string>;

constexpr std::size_t HeadLength = 33;

struct Outcome {
    int status = -1;  // exit status, or -1 when ended by a signal
    int signal = 0;
    std::string out;
    std::string err;
};

Outcome OutcomeOf(int waitStatus) {
    Outcome outcome;
    if (WIFEXITED(waitStatus)) outcome.status = WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) outcome.signal = WTERMSIG(waitStatus);
    return outcome;
}

std::vector<char*> Argv(std::vector<std::string>& words) {
    std::vector<char*> argv{const_cast<char*>(QUORVEX_CLI_PATH)};
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    return argv;
}

// Runs the program in `folder`, in a session of its own without a terminal,
// with `input` as standard input. `inChild` runs just before the program
// starts.
Outcome RunCli(const std::string& folder, Words words, const Bytes& input = "",
               const std::function<void()>& inChild = {}) {
    int in = MemoryFile(input), out = MemoryFile(""), err = MemoryFile("");
    std::vector<char*> argv = Argv(words);
    pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0 || setsid() < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (inChild) inChild();
        execv(argv[0], argv.data());
        _exit(127);
    }
    int waitStatus = 0;
    waitpid(child, &waitStatus, 0);
    close(in);
    Outcome outcome = OutcomeOf(waitStatus);
    outcome.out = ReadAllAndClose(out);
    outcome.err = ReadAllAndClose(err);
    return outcome;
}

// The program on a pseudo-terminal that is its controlling terminal, as in
// a person's shell. The test keeps the terminal's own side open too, so its
// settings can be read after the program has ended.
class TerminalSession {
public:
    TerminalSession(const std::string& folder, Words words) {
        EXPECT_EQ(openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
        std::vector<char*> argv = Argv(words);
        child = fork();
        if (child == 0) {
            close(master);
            if (chdir(folder.c_str()) != 0 || login_tty(dup(terminal)) != 0) _exit(126);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~TerminalSession() {
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        close(master);
        close(terminal);
    }

    // Everything shown so far, once `text` has appeared (or after a timeout).
    const std::string& WaitFor(const std::string& text) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (shown.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline)
            Collect(100);
        EXPECT_NE(shown.find(text), std::string::npos) << "never shown: " << text;
        return shown;
    }
    void Type(const std::string& keys) {
        EXPECT_EQ(write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    pid_t Pid() const { return child; }

    Outcome Finish() {
        int waitStatus = 0;
        waitpid(child, &waitStatus, 0);
        child = -1;
        while (Collect(0)) {
        }
        Outcome outcome = OutcomeOf(waitStatus);
        outcome.err = shown;
        return outcome;
    }
    bool Echoes() const {
        termios settings;
        EXPECT_EQ(tcgetattr(terminal, &settings), 0);
        return (settings.c_lflag & ECHO) != 0;
    }

private:
    bool Collect(int timeoutMs) {
        pollfd wanted{master, POLLIN, 0};
        if (poll(&wanted, 1, timeoutMs) <= 0) return false;
        char buffer[4096];
        ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) return false;
        shown.append(buffer, got);
        return true;
    }

    int master = -1;
    int terminal = -1;
    pid_t child = -1;
    std::string shown;
};

class CliTest : public ::testing::Test {
protected:
    Outcome Run(Words words, const Bytes& input = "pw\n") { return RunCli(folder.Path(), words, input); }
    std::string At(const std::string& name) const { return folder / name; }

    // A file encrypted by the engine itself, as the window would leave it.
    void WriteEncrypted(const std::string& name, const Bytes& plain, const char* password) {
        WriteFile(At(name), plain);
        FileManager fileManager(CheckPhrase);
        ASSERT_TRUE(fileManager.EncryptInPlace(At(name).c_str(), password));
    }
    // The plain content of an encrypted file, read without changing it.
    Bytes Decrypted(const std::string& name, const char* password) {
        testfiles::TempFolder scratch;
        WriteFile(scratch / "copy", ReadFile(At(name)));
        FileManager fileManager(CheckPhrase);
        EXPECT_TRUE(fileManager.DecryptInPlace((scratch / "copy").c_str(), password)) << name;
        return ReadFile(scratch / "copy");
    }

    testfiles::PrivateHome home;
    testfiles::TempFolder folder;
    const Bytes plain = PatternBytes(5000);
};

void StoreLockExtension(const char* text) {
    RegistryManager registryManager(SettingsCompany, SettingsProduct);
    registryManager.WriteEntry(LockExtensionEntry, text);
}

TEST_F(CliTest, EncryptsAndDecryptsInPlaceLeavingTheSettingAlone) {
    WriteFile(At("report.doc"), plain);

    Outcome encrypted = Run({"encrypt", "--password-stdin", "report.doc"});
    EXPECT_EQ(encrypted.status, 0);
    EXPECT_EQ(encrypted.err, "");
    EXPECT_EQ(folder.Names(), Names{"report.doc.locked"});
    EXPECT_EQ(ReadFile(At("report.doc.locked")).size(), HeadLength + plain.size());
    EXPECT_EQ(Decrypted("report.doc.locked", "pw"), plain);

    Outcome decrypted = Run({"decrypt", "--password-stdin", "report.doc.locked"});
    EXPECT_EQ(decrypted.status, 0);
    EXPECT_EQ(decrypted.out + decrypted.err, "");
    EXPECT_EQ(folder.Names(), Names{"report.doc"});
    EXPECT_EQ(ReadFile(At("report.doc")), plain);

    // Reading the setting's default stores nothing.
    EXPECT_FALSE(Exists(TRegistry::HivePath()));
}

TEST_F(CliTest, EncryptionNamesFollowTheStoredSettingUnlessAnOptionDecides) {
    struct Case {
        const char* stored;  // nullptr: never stored
        Words options;
        std::string file;
        std::string expected;
    };
    const Case cases[] = {
        {nullptr, {}, "a", "a.locked"},
        {"TRUE", {}, "a", "a.locked"},
        {"FALSE", {}, "a", "a"},
        {"true", {}, "a", "a"},
        {"TRUE ", {}, "a", "a"},
        {"FALSE", {"--suffix"}, "a", "a.locked"},
        {"TRUE", {"--no-suffix"}, "a", "a"},
        {nullptr, {}, "a.locked", "a.locked.locked"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.stored ? test.stored : "(none)") + " " + test.file);
        testfiles::PrivateHome caseHome;
        testfiles::TempFolder caseFolder;
        if (test.stored) StoreLockExtension(test.stored);
        WriteFile(caseFolder / test.file, plain);

        Words words{"encrypt", "--password-stdin"};
        words.insert(words.end(), test.options.begin(), test.options.end());
        words.push_back(test.file);
        Outcome outcome = RunCli(caseFolder.Path(), words, "pw\n");

        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(caseFolder.Names(), Names{test.expected});
        if (test.stored) {
            RegistryManager registryManager(SettingsCompany, SettingsProduct);
            EXPECT_EQ(registryManager.ReadEntry(LockExtensionEntry), test.stored);
        }
    }
}

TEST_F(CliTest, DecryptionTakesOffOnlyAnExactSuffixWhateverTheSetting) {
    StoreLockExtension("FALSE");
    const std::pair<std::string, std::string> cases[] = {
        {"a.locked", "a"},
        {"a.locked.locked", "a.locked"},
        {"a.LOCKED", "a.LOCKED"},
        {"a.locked.txt", "a.locked.txt"},
        {".locked", ".locked"},
    };
    for (const auto& [file, expected] : cases) {
        SCOPED_TRACE(file);
        testfiles::TempFolder caseFolder;
        WriteFile(caseFolder / file, plain);
        FileManager fileManager(CheckPhrase);
        ASSERT_TRUE(fileManager.EncryptInPlace((caseFolder / file).c_str(), "pw"));

        Outcome outcome = RunCli(caseFolder.Path(), {"decrypt", "--password-stdin", file}, "pw\n");

        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(caseFolder.Names(), Names{expected});
        EXPECT_EQ(ReadFile(caseFolder / expected), plain);
    }
}

TEST_F(CliTest, UnreadableSettingStopsEncryptionUnlessAnOptionDecides) {
    const std::string hive = TRegistry::HivePath();
    std::filesystem::create_directories(std::filesystem::path(hive).parent_path());
    WriteFile(hive, "not a registry file\n");
    WriteFile(At("a"), plain);

    Outcome refused = Run({"encrypt", "--password-stdin", "a"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("cannot read the setting"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find(hive), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--suffix or --no-suffix"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadFile(At("a")), plain);

    EXPECT_EQ(Run({"encrypt", "--password-stdin", "--suffix", "a"}).status, 0);
    EXPECT_EQ(Run({"decrypt", "--password-stdin", "a.locked"}).status, 0);
    EXPECT_EQ(folder.Names(), Names{"a"});
    EXPECT_EQ(ReadFile(At("a")), plain);
    EXPECT_EQ(ReadFile(hive), "not a registry file\n");
}

TEST_F(CliTest, TakenNewNameKeepsTheConvertedFileUnderItsName) {
    WriteFile(At("a"), plain);
    WriteFile(At("a.locked"), "someone else's");
    Outcome encrypted = Run({"encrypt", "--password-stdin", "--suffix", "a"});
    EXPECT_EQ(encrypted.status, 0);
    EXPECT_EQ(encrypted.err, "quorvex-cli: a: encrypted, but kept its name: a.locked already exists\n");
    EXPECT_EQ(ReadFile(At("a.locked")), "someone else's");
    EXPECT_EQ(Decrypted("a", "pw"), plain);

    WriteEncrypted("b.locked", plain, "pw");
    WriteFile(At("b"), "someone else's");
    Outcome decrypted = Run({"decrypt", "--password-stdin", "b.locked"});
    EXPECT_EQ(decrypted.status, 0);
    EXPECT_EQ(decrypted.err, "quorvex-cli: b.locked: decrypted, but kept its name: b already exists\n");
    EXPECT_EQ(ReadFile(At("b")), "someone else's");
    EXPECT_EQ(ReadFile(At("b.locked")), plain);
}

TEST_F(CliTest, UsageErrorsExplainAndTouchNothing) {
    const std::pair<Words, std::string> cases[] = {
        {{}, "no command given"},
        {{"frobnicate", "a"}, "unknown command 'frobnicate'"},
        {{"--password-stdin", "encrypt", "a"}, "must come before '--password-stdin'"},
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"encrypt", "--password-stdin"}, "no file given"},
        {{"decrypt", "--password-stdin", "--", }, "no file given"},
        {{"encrypt", "--password-stdin", "--bogus", "a"}, "unknown option '--bogus'"},
        {{"decrypt", "--password-stdin", "--suffix", "a"}, "'--suffix' is for encryption only"},
        {{"decrypt", "--password-stdin", "--no-suffix", "a"}, "'--no-suffix' is for encryption only"},
        {{"encrypt", "--password-stdin", "--suffix", "--no-suffix", "a"}, "exclude each other"},
        {{"encrypt", "a"}, "no terminal to ask the password on"},
    };
    WriteFile(At("a"), plain);
    for (const auto& [words, message] : cases) {
        SCOPED_TRACE(message);
        Outcome outcome = Run(words);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.err.rfind("quorvex-cli: ", 0), 0u) << outcome.err;
        EXPECT_NE(outcome.err.find(message), std::string::npos) << outcome.err;
        EXPECT_NE(outcome.err.find("Usage: quorvex-cli encrypt"), std::string::npos);
        EXPECT_EQ(outcome.out, "");
    }
    EXPECT_EQ(folder.Names(), Names{"a"});
    EXPECT_EQ(ReadFile(At("a")), plain);
}

TEST_F(CliTest, HelpAndVersionGoToStandardOutput) {
    const std::pair<Words, std::string> cases[] = {
        {{"--version"}, "quorvex-cli 1.1\n"},
        {{"--help"}, "Usage: quorvex-cli encrypt"},
        {{"encrypt", "--help", "a"}, "Usage: quorvex-cli encrypt"},
    };
    WriteFile(At("a"), plain);
    for (const auto& [words, start] : cases) {
        SCOPED_TRACE(words.front());
        Outcome outcome = Run(words);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.out.rfind(start, 0), 0u) << outcome.out;
        EXPECT_EQ(outcome.err, "");
    }
    EXPECT_EQ(ReadFile(At("a")), plain);
}

TEST_F(CliTest, DoubleDashEndsTheOptions) {
    WriteFile(At("-x"), plain);
    WriteFile(At("--suffix"), plain);
    Outcome outcome = Run({"encrypt", "--password-stdin", "--no-suffix", "--", "-x", "--suffix"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(folder.Names(), (Names{"--suffix", "-x"}));
    EXPECT_EQ(Decrypted("-x", "pw"), plain);
    EXPECT_EQ(Decrypted("--suffix", "pw"), plain);
}

TEST_F(CliTest, EachFailedFileGetsOneLineAndTheOthersAreConverted) {
    WriteFile(At("first"), plain);
    WriteFile(At("read-only"), plain);
    chmod(At("read-only").c_str(), 0444);
    ASSERT_EQ(mkdir(At("folder").c_str(), 0700), 0);
    WriteFile(At("last"), plain);

    Outcome outcome =
        Run({"encrypt", "--password-stdin", "--no-suffix", "first", "missing", "read-only", "folder", "last"});

    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
              "quorvex-cli: missing: " + DescribeFailure({FailureReason::CannotRead, ENOENT}, "missing") + "\n" +
                  "quorvex-cli: read-only: " + DescribeFailure({FailureReason::ReadOnly}, "read-only") + "\n" +
                  "quorvex-cli: folder: " + DescribeFailure({FailureReason::NotRegularFile}, "folder") + "\n");
    EXPECT_EQ(Decrypted("first", "pw"), plain);
    EXPECT_EQ(Decrypted("last", "pw"), plain);
    EXPECT_EQ(ReadFile(At("read-only")), plain);
}

TEST_F(CliTest, NamesAreEscapedSoAMessageStaysOneHarmlessLine) {
    // A name can hold a line break, a terminal escape and bytes that are
    // not UTF-8; printed raw, it would fake a second message or reach the
    // terminal as a command.
    const std::string name = "ok\nquorvex-cli: all converted\x1b[2J\xE9 \xC3\xA9";
    WriteFile(At(name), plain);
    chmod(At(name).c_str(), 0444);

    Outcome outcome = Run({"encrypt", "--password-stdin", "--no-suffix", name});

    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "quorvex-cli: ok\\nquorvex-cli: all converted\\x1b[2J\\xe9 \xC3\xA9: " +
                               DescribeFailure({FailureReason::ReadOnly}, name) + "\n");
}

TEST_F(CliTest, WrongPasswordLeavesFileAndNameAsTheyWere) {
    WriteEncrypted("a.locked", plain, "right");
    const Bytes before = ReadFile(At("a.locked"));

    Outcome outcome = Run({"decrypt", "--password-stdin", "a.locked"}, "wrong\n");

    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
              "quorvex-cli: a.locked: " + DescribeFailure({FailureReason::WrongPassword}, "a.locked") + "\n");
    EXPECT_EQ(folder.Names(), Names{"a.locked"});
    EXPECT_EQ(ReadFile(At("a.locked")), before);
}

TEST_F(CliTest, SameFileGivenTwiceIsEncryptedOnce) {
    WriteFile(At("a"), plain);
    Outcome outcome = Run({"encrypt", "--password-stdin", "--no-suffix", "a", "./a"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.err.find("quorvex-cli: ./a: skipped"), std::string::npos) << outcome.err;
    EXPECT_EQ(Decrypted("a", "pw"), plain);
}

TEST_F(CliTest, PasswordIsTheFirstLineOfStandardInputByteForByte) {
    const std::pair<Bytes, std::string> cases[] = {
        {"pw\n", "pw"},
        {"pw\r\n", "pw"},
        {"pw", "pw"},
        {"pw\nnext line\n", "pw"},
        {" pw \n", " pw "},
        {"pw\r\r\n", "pw\r"},
    };
    for (const auto& [input, password] : cases) {
        SCOPED_TRACE(::testing::PrintToString(input));
        WriteFile(At("a"), plain);
        Outcome outcome = Run({"encrypt", "--password-stdin", "--no-suffix", "a"}, input);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(Decrypted("a", password.c_str()), plain);
    }
}

TEST_F(CliTest, UnusablePasswordIsRefusedBeforeAnyFileIsTouched) {
    const std::pair<Bytes, std::string> cases[] = {
        {"", "no password specified"},
        {"\n", "no password specified"},
        {"\r\n", "no password specified"},
        {Bytes("p\0w\n", 4), "NUL"},
        {Bytes(64 * 1024 + 1, 'p') + "\n", "longer than 65536 bytes"},
    };
    WriteFile(At("a"), plain);
    for (const auto& [input, message] : cases) {
        SCOPED_TRACE(message);
        Outcome outcome = Run({"encrypt", "--password-stdin", "a"}, input);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_NE(outcome.err.find(message), std::string::npos) << outcome.err;
    }
    EXPECT_EQ(folder.Names(), Names{"a"});
    EXPECT_EQ(ReadFile(At("a")), plain);
}

TEST_F(CliTest, PasswordTypedOnWindowsDecryptsWithItsUtf8Spelling) {
    WriteFile(At("a"), plain);
    ASSERT_EQ(Run({"encrypt", "--password-stdin", "a"}, "caf\xE9\n").status, 0);

    Outcome outcome = Run({"decrypt", "--password-stdin", "a.locked"}, "caf\xC3\xA9\n");

    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(folder.Names(), Names{"a"});
    EXPECT_EQ(ReadFile(At("a")), plain);
}

TEST_F(CliTest, FileSizeLimitIsAWriteErrorNotTheEnd) {
    WriteFile(At("a"), plain);
    Outcome outcome = RunCli(folder.Path(), {"encrypt", "--password-stdin", "a"}, "pw\n", [] {
        rlimit limit{2048, 2048};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "quorvex-cli: a: " + DescribeFailure({FailureReason::CannotWrite, EFBIG}, "a") + "\n");
    EXPECT_EQ(folder.Names(), Names{"a"});
    EXPECT_EQ(ReadFile(At("a")), plain);
}

TEST_F(CliTest, TerminalPromptHidesThePasswordAndAsksTwiceForEncryption) {
    WriteFile(At("a"), plain);
    TerminalSession session(folder.Path(), {"encrypt", "a"});
    session.WaitFor("Password: ");
    session.Type("tty secret\n");
    session.WaitFor("Repeat password: ");
    session.Type("tty secret\n");
    Outcome outcome = session.Finish();

    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err.find("tty secret"), std::string::npos) << outcome.err;
    EXPECT_TRUE(session.Echoes());
    EXPECT_EQ(Decrypted("a.locked", "tty secret"), plain);
}

TEST_F(CliTest, TerminalPromptRefusesTwoDifferentPasswords) {
    WriteFile(At("a"), plain);
    TerminalSession session(folder.Path(), {"encrypt", "a"});
    session.WaitFor("Password: ");
    session.Type("first secret\n");
    session.WaitFor("Repeat password: ");
    session.Type("other secret\n");
    Outcome outcome = session.Finish();

    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("quorvex-cli: the two passwords are not equal"), std::string::npos)
        << outcome.err;
    EXPECT_EQ(outcome.err.find("secret"), std::string::npos) << outcome.err;
    EXPECT_TRUE(session.Echoes());
    EXPECT_EQ(folder.Names(), Names{"a"});
    EXPECT_EQ(ReadFile(At("a")), plain);
}

TEST_F(CliTest, CtrlCAtThePromptGivesTheTerminalItsEchoBack) {
    WriteFile(At("a"), plain);
    TerminalSession session(folder.Path(), {"decrypt", "a"});
    session.WaitFor("Password: ");
    ASSERT_FALSE(session.Echoes());
    session.Type("half typ\x03");
    Outcome outcome = session.Finish();

    EXPECT_EQ(outcome.signal, SIGINT);
    EXPECT_TRUE(session.Echoes());
    EXPECT_EQ(ReadFile(At("a")), plain);
}

// Big enough for the progress line.
const Bytes& BigContent() {
    static const Bytes content = PatternBytes(64 * 1024 * 1024 + 1024);
    return content;
}

TEST_F(CliTest, BigFileShowsProgressOnATerminalAndClearsIt) {
    WriteFile(At("big"), BigContent());
    TerminalSession session(folder.Path(), {"encrypt", "--no-suffix", "--password-stdin", "big"});
    session.Type("pw\n");
    Outcome outcome = session.Finish();

    EXPECT_EQ(outcome.status, 0) << outcome.err;
    const std::string last = "\rEncrypting big: 100%";
    std::size_t at = outcome.err.find(last);
    ASSERT_NE(at, std::string::npos) << outcome.err;
    // Rewritten in place as the work goes on.
    int updates = 0;
    for (std::size_t from = 0; (from = outcome.err.find("\rEncrypting big: ", from)) < at; ++from) ++updates;
    EXPECT_GT(updates, 10);
    // Wiped with blanks, and the cursor back at the start of the line.
    EXPECT_EQ(outcome.err.substr(at + last.size()), "\r" + std::string(last.size() - 1, ' ') + "\r");

    // Not on a terminal: nothing.
    Outcome quiet = Run({"decrypt", "--password-stdin", "big"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
    EXPECT_TRUE(ReadFile(At("big")) == BigContent());
}

TEST_F(CliTest, InterruptedConversionLeavesNoTemporaryFile) {
    WriteEncrypted("big", BigContent(), "pw");
    const Bytes encrypted = ReadFile(At("big"));
    TerminalSession session(folder.Path(), {"decrypt", "--password-stdin", "big"});
    session.Type("pw\n");
    session.WaitFor("Decrypting big: ");
    kill(session.Pid(), SIGINT);
    Outcome outcome = session.Finish();

    EXPECT_EQ(outcome.signal, SIGINT);
    EXPECT_EQ(folder.Names(), Names{"big"});
    EXPECT_TRUE(ReadFile(At("big")) == encrypted);
}

}  // namespace
