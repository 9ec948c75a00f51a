#pragma once

// What quorvex-setup added for this user, kept in a small text file so that
// --uninstall removes exactly that and nothing of the user's:
//   file<TAB>digest<TAB>path      a file setup wrote, with its content's SHA-256
//   folder<TAB>path               a folder setup created
//   thunar<TAB>path<TAB>digest    uca.xml holding setup's action; the digest
//                                 is that of the file setup created it with,
//                                 empty when the file was the user's already
//   entry<TAB>name<TAB>value      a settings entry setup wrote
//   key<TAB>path                  a registry key setup created
// Fields escape backslash, tab and line break as \\, \t and \n.

#include <map>
#include <optional>
#include <set>
#include <string>

struct Manifest {
    struct ThunarRecord {
        std::string path;
        std::string createdWithDigest;  // empty: the file was there before
    };

    std::map<std::string, std::string> files;  // path -> digest
    std::set<std::string> folders;
    std::optional<ThunarRecord> thunar;
    std::map<std::string, std::string> entries;  // name -> value
    std::set<std::string> registryKeys;

    bool Empty() const;

    // An absent file is an empty manifest. Raises SetupError when the file
    // cannot be read or understood.
    static Manifest Load(const std::string& path);
    void Save(const std::string& path) const;
};
