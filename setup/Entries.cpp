#include "setup/Entries.h"

#include <stdexcept>

#include "setup/EntryTemplates.h"

namespace {

bool IsPlain(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '/' || c == '.' || c == '_' || c == '-' || c == '+' || c == ',' ||
                     c == ':' || c == '@';
        if (!plain) return false;
    }
    return true;
}

// The template with its one line `key` + `oldStart`... made to start with
// `key` + `newStart` instead. The templates are ours, so a template without
// that line is a fault of this program.
std::string ReplacedLineStart(const std::string& text, const std::string& key,
                              const std::string& oldStart, const std::string& newStart) {
    const std::string wanted = "\n" + key + oldStart;
    std::size_t at = text.find(wanted);
    if (at == std::string::npos || text.find(wanted, at + 1) != std::string::npos)
        throw std::logic_error("entry template without exactly one line '" + key + oldStart + "'");
    std::string replaced = text;
    replaced.replace(at + 1 + key.size(), oldStart.size(), newStart);
    return replaced;
}

std::string Personal(const std::string& entryTemplate) { return AddedBySetupNote + entryTemplate; }

}  // namespace

std::string ShellQuoted(const std::string& text) {
    if (IsPlain(text)) return text;
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string DesktopExecArgument(const std::string& path) {
    std::string argument;
    if (IsPlain(path)) {
        argument = path;
    } else {
        argument = "\"";
        for (char c : path) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') argument += '\\';
            argument += c;
        }
        argument += '"';
    }
    // The value's own escapes come on top of the quoting: a backslash is
    // written twice, and '%' starts a field code unless doubled.
    std::string value;
    for (char c : argument) {
        if (c == '\\') value += '\\';
        if (c == '%') value += '%';
        value += c;
    }
    return value;
}

std::string XmlEscaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&apos;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string GnomeFilesScript(const std::string& program) {
    const std::string quoted = ShellQuoted(program);
    return "#!/bin/sh\n"
           "# Encrypt/Decrypt with Quorvex, in the Scripts menu of GNOME Files.\n"
           "# GNOME Files passes the chosen files' names and runs this in their folder;\n"
           "# Quorvex takes one file, the first, by its full path.\n" +
           std::string(AddedBySetupNote) +
           "case $1 in\n"
           "  '') exec " + quoted + " ;;\n"
           "  /*) exec " + quoted + " \"$1\" ;;\n"
           "  *) exec " + quoted + " \"$PWD/$1\" ;;\n"
           "esac\n";
}

namespace {

// An entry of the installation, made to start `program` by its path and to
// show `iconFile` when it is given.
std::string PersonalEntry(const std::string& entryTemplate, const std::string& program, const std::string& iconFile) {
    std::string entry = ReplacedLineStart(entryTemplate, "Exec=", "quorvex ", DesktopExecArgument(program) + " ");
    if (!iconFile.empty()) entry = ReplacedLineStart(entry, "Icon=", "quorvex\n", iconFile + "\n");
    return Personal(entry);
}

}  // namespace

std::string PersonalApplicationEntry(const std::string& program, const std::string& iconFile) {
    return PersonalEntry(ApplicationEntryTemplate, program, iconFile);
}

std::string PersonalServiceMenu(const std::string& program, const std::string& iconFile) {
    return PersonalEntry(ServiceMenuTemplate, program, iconFile);
}

std::string PersonalNemoAction(const std::string& program) {
    return Personal(ReplacedLineStart(NemoActionTemplate, "Exec=", "quorvex ", ShellQuoted(program) + " "));
}

std::string ThunarAction(const std::string& program, const std::string& iconFile) {
    const std::string icon = iconFile.empty() ? "quorvex" : iconFile;
    return "<action>\n"
           "\t<icon>" + XmlEscaped(icon) + "</icon>\n"
           "\t<name>" + XmlEscaped(EntryName) + "</name>\n"
           "\t<submenu></submenu>\n"
           "\t<unique-id>" + XmlEscaped(ThunarActionId) + "</unique-id>\n"
           "\t<command>" + XmlEscaped(ShellQuoted(program) + " %f") + "</command>\n"
           "\t<description>Encrypt or decrypt this file with a password</description>\n"
           "\t<patterns>*</patterns>\n"
           "\t<startup-notify/>\n"
           "\t<audio-files/>\n"
           "\t<image-files/>\n"
           "\t<other-files/>\n"
           "\t<text-files/>\n"
           "\t<video-files/>\n"
           "</action>";
}
