// quorvex-cli: encrypts or decrypts files in place from the command line,
// with the same engine, file layout and ".locked" naming as the window.

#include <signal.h>

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "Version.h"
#include "cli/Arguments.h"
#include "cli/Conversions.h"
#include "cli/Password.h"
#include "cli/SignalCleanup.h"
#include "platform/Registry.h"
#include "settings/LockExtension.h"
#include "settings/RegistryManager.h"

namespace {

constexpr int ExitAllConverted = 0;
constexpr int ExitSomeFailed = 1;
constexpr int ExitUsageError = 2;

constexpr char Usage[] =
    "Usage: quorvex-cli encrypt [--suffix | --no-suffix] [--password-stdin] FILE...\n"
    "       quorvex-cli decrypt [--password-stdin] FILE...\n";

constexpr char Help[] =
    "Encrypts or decrypts each FILE in place under one password.\n"
    "\n"
    "Commands:\n"
    "  encrypt           encrypt each FILE; it then receives the suffix \".locked\"\n"
    "                    when the window's setting says so (on unless turned off)\n"
    "  decrypt           decrypt each FILE and take a \".locked\" suffix off its name\n"
    "\n"
    "Options:\n"
    "  --suffix          add \".locked\" to encrypted files, whatever the setting\n"
    "  --no-suffix       keep the names of encrypted files, whatever the setting\n"
    "  --password-stdin  read the password from the first line of standard input\n"
    "                    (its bytes as they are) instead of asking on the terminal\n"
    "  --                end of options: every later argument is a file\n"
    "  -h, --help        show this help and exit\n"
    "  --version         show the version and exit\n"
    "\n"
    "The password is asked on the terminal without echo, twice for encryption.\n"
    "A rename never replaces a file: when the new name is taken, the converted\n"
    "file keeps its name and a notice says so.\n"
    "\n"
    "Exit status: 0 when every file was converted (also when a taken name kept\n"
    "one from being renamed), 1 when any file was not, 2 for a usage error.\n";

void Complain(const std::string& text) { std::fprintf(stderr, "quorvex-cli: %s\n", text.c_str()); }

int UsageError(const std::string& text) {
    Complain(text);
    std::fputs(Usage, stderr);
    std::fputs("Try 'quorvex-cli --help' for more information.\n", stderr);
    return ExitUsageError;
}

// The stored setting, read as the window reads it; nothing when it cannot
// be read, since guessing could leave files under names the user does not
// expect.
std::optional<bool> StoredSuffixSetting() {
    try {
        RegistryManager registryManager(SettingsCompany, SettingsProduct);
        return ReadLockExtensionSetting(registryManager);
    } catch (const ERegistryException& error) {
        // The store's own texts name the value only; say where it is.
        Complain(std::string("cannot read the setting for the \".locked\" suffix (entry ") +
                 LockExtensionEntry + " in " + TRegistry::HivePath() + "): " + error.what());
        Complain("choose with --suffix or --no-suffix");
        return std::nullopt;
    }
}

int Run(const std::vector<std::string>& words) {
    ParsedArguments parsed = ParseArguments(words);
    if (!parsed.arguments) return UsageError(parsed.usageError);
    const Arguments& arguments = *parsed.arguments;

    switch (arguments.command) {
    case Command::Help:
        std::fputs(Usage, stdout);
        std::fputs(Help, stdout);
        return ExitAllConverted;
    case Command::Version:
        std::printf("quorvex-cli %s\n", QUORVEX_VERSION_TEXT);
        return ExitAllConverted;
    case Command::Encrypt:
    case Command::Decrypt:
        break;
    }
    const bool encrypt = arguments.command == Command::Encrypt;

    // Settled before the password is asked, so nobody types it for nothing.
    bool addSuffix = false;
    if (encrypt) {
        std::optional<bool> suffix = arguments.suffix ? arguments.suffix : StoredSuffixSetting();
        if (!suffix) return ExitSomeFailed;
        addSuffix = *suffix;
    }

    signalcleanup::Install();
    Password password;
    std::optional<PasswordProblem> problem = arguments.passwordFromStdin
                                                 ? ReadPasswordFromStdin(password)
                                                 : AskPasswordOnTerminal(encrypt, password);
    if (problem) {
        if (problem->exitStatus == ExitUsageError) return UsageError(problem->message);
        Complain(problem->message);
        return problem->exitStatus;
    }

    ConversionRun run;
    run.encrypt = encrypt;
    run.addSuffix = addSuffix;
    run.password = password.CStr();
    return ConvertFiles(run, arguments.files) ? ExitAllConverted : ExitSomeFailed;
}

}  // namespace

int main(int argc, char** argv) {
    // Past a file-size limit, a write must fail like a full disk, and the
    // file stay as it was, rather than the process be killed mid-way.
    signal(SIGXFSZ, SIG_IGN);
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& error) {
        Complain(error.what());
        return ExitSomeFailed;
    }
}
