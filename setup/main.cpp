// quorvex-setup: the per-user installer. Registers the right-click entries
// of the file managers and the help folder for the user who runs it, with
// no root rights, and takes them back with --uninstall.

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "Version.h"
#include "setup/Entries.h"
#include "setup/Files.h"
#include "setup/Setup.h"

namespace {

constexpr int ExitDone = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsageError = 2;

constexpr char Usage[] = "Usage: quorvex-setup [--uninstall]\n";

constexpr char Help[] =
    "Sets Quorvex up for you: adds \"Encrypt/Decrypt with Quorvex\" to the\n"
    "right-click menu of GNOME Files (under Scripts), Dolphin, Nemo and Thunar,\n"
    "and tells Help topics where the help document is. No root rights needed;\n"
    "run it once after installing, as each user who uses Quorvex.\n"
    "\n"
    "Options:\n"
    "  --uninstall   remove what quorvex-setup added, and nothing else: files\n"
    "                changed since, and your own actions and settings, stay\n"
    "  -h, --help    show this help and exit\n"
    "  --version     show the version and exit\n"
    "\n"
    "Your own files are never replaced: where one is in the way, setup says so\n"
    "and leaves it. Running setup again brings its entries up to date. Dolphin\n"
    "and Nemo find the entries of a system-wide installation for every user, so\n"
    "setup adds its own for them only where the desktop would not.\n"
    "\n"
    "Exit status: 0 when every step went well, 1 when any failed, 2 for a usage\n"
    "error.\n";

int UsageError(const std::string& text) {
    std::fprintf(stderr, "quorvex-setup: %s\n", text.c_str());
    std::fputs(Usage, stderr);
    std::fputs("Try 'quorvex-setup --help' for more information.\n", stderr);
    return ExitUsageError;
}

int RunRegister() {
    Installation installation = ThisInstallation();
    UserFolders user = FindUserFolders();
    std::printf("Setting up Quorvex %s from %s for you:\n", QUORVEX_VERSION_TEXT,
                installation.binFolder.c_str());
    Report report(stdout, stderr);
    Register(installation, user, report);
    if (!report.AllWell()) {
        std::fputs("Some steps failed; see above. What did go well is in place, and\n"
                   "'quorvex-setup --uninstall' takes it away again.\n", stderr);
        return ExitFailed;
    }
    std::printf("Done. Right-click a file and choose \"%s\" (in GNOME Files, under\n"
                "Scripts). A file manager that is open may need a restart to show it.\n",
                EntryName);
    return ExitDone;
}

int RunUnregister() {
    UserFolders user = FindUserFolders();
    std::puts("Removing what quorvex-setup added for you:");
    Report report(stdout, stderr);
    Unregister(user, report);
    if (!report.AnythingToSay()) std::puts("  nothing was there to remove");
    return report.AllWell() ? ExitDone : ExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    bool uninstall = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            std::fputs(Usage, stdout);
            std::fputs(Help, stdout);
            return ExitDone;
        }
        if (argument == "--version") {
            std::printf("quorvex-setup %s\n", QUORVEX_VERSION_TEXT);
            return ExitDone;
        }
        if (argument == "--uninstall")
            uninstall = true;
        else
            return UsageError("unknown argument '" + argument + "'");
    }
    try {
        return uninstall ? RunUnregister() : RunRegister();
    } catch (const std::exception& error) {
        // Before any step: nothing was changed.
        std::fprintf(stderr, "quorvex-setup: %s\n", error.what());
        return ExitFailed;
    }
}
