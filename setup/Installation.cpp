#include "setup/Installation.h"

#include <algorithm>
#include <filesystem>

#include "setup/Files.h"

namespace {

// Where the data lie seen from the programs' folder, as this build installs
// them (by default "../share").
constexpr char BinToData[] = QUORVEX_SETUP_BIN_TO_DATA;
constexpr char ProgramName[] = "quorvex";

std::string Normal(const std::string& path) {
    std::string normal = std::filesystem::path(path).lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    return normal;
}

// Every entry format can hold these, quoted as each format wants; a line
// break cannot be held by any, and '%' means a field code to most.
void RefuseUnwritablePath(const std::string& path) {
    bool unwritable = std::any_of(path.begin(), path.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F || c == '%';
    });
    if (unwritable)
        throw SetupError("The installation's path '" + path +
                         "' holds a control character or '%', which the file managers' "
                         "entries cannot hold. Install Quorvex in a folder without them.");
}

}  // namespace

std::string Installation::IconFile() const {
    return dataFolder + "/icons/hicolor/256x256/apps/quorvex.png";
}

Installation InstallationOf(const std::string& setupProgram) {
    Installation installation;
    installation.binFolder = FolderOf(setupProgram);
    installation.program = installation.binFolder + "/" + ProgramName;
    installation.dataFolder = Normal(installation.binFolder + "/" + BinToData);
    installation.installationDirectory = installation.dataFolder + "/quorvex";

    if (!IsExecutableFile(installation.program))
        throw SetupError("The Quorvex program '" + installation.program +
                         "' is missing. Run the quorvex-setup of a complete installation "
                         "(after 'cmake --install' or 'make install').");
    if (!FileMode(installation.HelpDocument()))
        throw SetupError("The help document '" + installation.HelpDocument() +
                         "' is missing. Run the quorvex-setup of a complete installation "
                         "(after 'cmake --install' or 'make install'), not the one in the "
                         "build folder.");
    RefuseUnwritablePath(installation.program);
    RefuseUnwritablePath(installation.dataFolder);
    return installation;
}

Installation ThisInstallation() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        throw SetupError("Cannot find where quorvex-setup lies (/proc/self/exe: " +
                         error.message() + ")");
    return InstallationOf(self.string());
}
