#pragma once

// The installation quorvex-setup belongs to: it lies in the same prefix as
// the window program, so setup finds everything from where it lies itself,
// wherever the prefix was put.

#include <string>

struct Installation {
    std::string binFolder;              // <prefix>/bin
    std::string program;                // <prefix>/bin/quorvex, the window
    std::string dataFolder;             // <prefix>/share: applications, icons, kio, nemo
    std::string installationDirectory;  // <prefix>/share/quorvex, which holds help/

    // Help topics opens installationDirectory followed by this.
    static constexpr char HelpDocumentPath[] = "/help/Quorvex.html";
    std::string HelpDocument() const { return installationDirectory + HelpDocumentPath; }
    // The application icon as a file, for entries the desktop would not find
    // it for by name.
    std::string IconFile() const;
};

// The installation beside the program at `setupProgram`. Raises SetupError
// when the window program or the help document is missing, or when a path
// could not be written into the file managers' entries.
Installation InstallationOf(const std::string& setupProgram);
// The installation of the running program.
Installation ThisInstallation();
