#include "cli/Conversions.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <utility>

#include "cli/PrintableText.h"
#include "cli/ProgressLine.h"
#include "cli/SignalCleanup.h"
#include "engine/CheckPhrase.h"
#include "engine/FileManager.h"
#include "engine/WindowsPassword.h"
#include "platform/RenameNoReplace.h"
#include "settings/LockExtension.h"

namespace {

// One line per message, whatever bytes the names in it hold.
void Report(const std::string& file, const std::string& text) {
    std::fprintf(stderr, "quorvex-cli: %s: %s\n", PrintableText(file).c_str(), PrintableText(text).c_str());
}

// Renames a converted file. Never replaces a file: when the new name is
// taken, the converted file keeps its old one, and the user learns where
// the result went.
bool Rename(const std::string& path, const std::string& newPath, const char* done) {
    if (RenameNoReplace(path.c_str(), newPath.c_str())) return true;
    const std::string why = errno == EEXIST
                                ? newPath + " already exists"
                                : "cannot rename it to " + newPath + " (" + std::strerror(errno) + ")";
    Report(path, std::string(done) + ", but kept its name: " + why);
    return false;
}

using FileIdentity = std::pair<dev_t, ino_t>;

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

class Converter {
public:
    explicit Converter(const ConversionRun& run) : run(run), fileManager(CheckPhrase) {}

    bool Convert(const std::string& path) {
        // The same file under two names ("a" and "./a") would otherwise be
        // encrypted twice.
        std::optional<FileIdentity> identity = IdentityOf(path);
        if (identity) {
            auto earlier = converted.find(*identity);
            if (earlier != converted.end()) {
                Report(path, "skipped: it is the same file as " + earlier->second +
                                 ", converted already");
                return true;
            }
        }

        if (!RunEngine(path)) {
            Report(path, DescribeFailure(fileManager.LastFailure(), path));
            return false;
        }

        std::string finalPath = path;
        if (std::optional<std::string> newPath = NewName(path)) {
            if (Rename(path, *newPath, run.encrypt ? "encrypted" : "decrypted")) finalPath = *newPath;
        }
        if (std::optional<FileIdentity> result = IdentityOf(finalPath))
            converted.emplace(*result, path);
        return true;
    }

private:
    bool RunEngine(const std::string& path) {
        ProgressLine progress(run.encrypt ? "Encrypting" : "Decrypting", path);
        fileManager.SetProgressHandler(
            [&progress](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); });

        // Ctrl+C in the middle must not leave the temporary file behind: it
        // may hold plain content, and it would stand in the way of the next
        // attempt. A file of that name from before is someone else's and is
        // never touched.
        const std::string temporaryPath = path + ".tmp";
        struct stat existing;
        bool temporaryIsOurs = lstat(temporaryPath.c_str(), &existing) != 0 && errno == ENOENT;
        if (temporaryIsOurs) signalcleanup::WatchTemporaryFile(temporaryPath.c_str());

        bool done = run.encrypt
                        ? fileManager.EncryptInPlace(path.c_str(), run.password)
                        : DecryptAcceptingWindowsPassword(fileManager, path.c_str(), run.password);

        signalcleanup::ForgetTemporaryFile();
        fileManager.SetProgressHandler(nullptr);
        return done;
    }

    std::optional<std::string> NewName(const std::string& path) const {
        if (!run.encrypt) return NameWithoutLockedSuffix(path);
        // Appended even to a name that ends with the suffix already, so the
        // name always shows how often the file was encrypted.
        if (run.addSuffix) return path + LockedSuffix;
        return std::nullopt;
    }

    const ConversionRun& run;
    FileManager fileManager;
    // The files converted so far, and the name each was given as.
    std::map<FileIdentity, std::string> converted;
};

}  // namespace

bool ConvertFiles(const ConversionRun& run, const std::vector<std::string>& files) {
    Converter converter(run);
    bool allConverted = true;
    for (const std::string& path : files)
        if (!converter.Convert(path)) allConverted = false;
    return allConverted;
}
