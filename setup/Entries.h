#pragma once

// The texts of the right-click entries and the desktop entry that setup
// writes for one user. The entries installed for every user start "quorvex"
// by name; a user's own start the program by its full path, so they work
// wherever the installation lies.

#include <string>

inline constexpr char EntryName[] = "Encrypt/Decrypt with Quorvex";
// GNOME Files names a script's menu entry after its file, and a file name
// cannot hold '/': U+2215 DIVISION SLASH looks the same in the menu.
inline constexpr char GnomeFilesScriptName[] = "Encrypt\u2215Decrypt with Quorvex";
inline constexpr char ThunarActionId[] = "quorvex-encrypt-decrypt";
inline constexpr char ApplicationEntryFile[] = "quorvex.desktop";
inline constexpr char ServiceMenuFile[] = "quorvex-encrypt-decrypt.desktop";
inline constexpr char NemoActionFile[] = "quorvex-encrypt-decrypt.nemo_action";

// The first line of every file setup writes for a user.
inline constexpr char AddedBySetupNote[] =
    "# Added by quorvex-setup for this user; 'quorvex-setup --uninstall' removes it.\n";

// The text as one word of a POSIX shell command line (also what Thunar and
// Nemo split their commands with).
std::string ShellQuoted(const std::string& text);
// The path as one argument of a desktop entry's Exec key, escaped for the
// key's value as well.
std::string DesktopExecArgument(const std::string& path);
std::string XmlEscaped(const std::string& text);

// The script GNOME Files runs with the chosen files, from their folder.
std::string GnomeFilesScript(const std::string& program);
// The entries installed for every user, made to start `program` by its path
// and, when `iconFile` is not empty, to show that picture.
std::string PersonalApplicationEntry(const std::string& program, const std::string& iconFile);
std::string PersonalServiceMenu(const std::string& program, const std::string& iconFile);
std::string PersonalNemoAction(const std::string& program);
// One <action> element of Thunar's uca.xml.
std::string ThunarAction(const std::string& program, const std::string& iconFile);
