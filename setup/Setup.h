#pragma once

// The installer's two jobs for the current user: register the right-click
// entries and the help folder, and take back exactly what it registered.

#include <cstdio>
#include <string>

#include "setup/Installation.h"
#include "setup/UserFolders.h"

// Lines for the user: what was done, on standard output; what went wrong,
// on standard error.
class Report {
public:
    Report(std::FILE* out, std::FILE* err) : out(out), err(err) {}
    void Done(const std::string& text);
    void Failed(const std::string& text);
    bool AllWell() const { return failures == 0; }
    bool AnythingToSay() const { return lines > 0; }

private:
    std::FILE* out;
    std::FILE* err;
    int lines = 0;
    int failures = 0;
};

// Where setup keeps the record of what it added.
std::string ManifestPath(const UserFolders& user);

// Adds the right-click entries of GNOME Files, Dolphin, Nemo and Thunar (and
// the desktop entry where the desktop would not find the installation's
// own), and writes "InstallationDirectory" into the user's settings. A file
// of the user's is never replaced. Running it again brings what it added up
// to date and adds nothing twice.
void Register(const Installation& installation, const UserFolders& user, Report& report);

// Removes what Register recorded, where it is still as Register left it, and
// the Thunar action by its unique id.
void Unregister(const UserFolders& user, Report& report);
