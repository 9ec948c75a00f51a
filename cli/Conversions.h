#pragma once

// Encrypts or decrypts each file of a run in turn, renames it as the
// ".locked" naming asks, and reports on standard error every file that
// failed and every name that could not be given.

#include <string>
#include <vector>

struct ConversionRun {
    bool encrypt = true;
    // Encryption only: give the encrypted file the ".locked" suffix.
    bool addSuffix = false;
    const char* password = "";
};

// Goes on with the next file after a failure. True when every file was
// converted.
bool ConvertFiles(const ConversionRun& run, const std::vector<std::string>& files);
