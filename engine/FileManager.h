#pragma once

// Converts one file in place between its plain content and the encrypted
// layout: a 33-byte enciphered check phrase followed by the content,
// enciphered in blocks of 1024 bytes, each block on its own.
//
// The converted content goes to a temporary file beside the file (its name
// with ".tmp" appended), created exclusively and readable by its owner only;
// it is flushed to disk and then renamed over the file, and the folder is
// flushed, so a crash at any moment leaves either the old file or the
// complete new one. Every failure leaves the file as it was and removes the
// temporary file; LastFailure() tells why.

#include <cstdint>
#include <functional>

#include "engine/ConversionFailure.h"

class FileManager {
public:
    // Called after each chunk with the bytes of the file handled so far and
    // the file's size when the conversion began.
    using ProgressHandler = std::function<void(std::uint64_t done, std::uint64_t total)>;

    explicit FileManager(const char* phrase);
    ~FileManager();
    FileManager(const FileManager&) = delete;
    FileManager& operator=(const FileManager&) = delete;

    bool EncryptInPlace(const char* path, const char* password);
    bool DecryptInPlace(const char* path, const char* password);

    // Why the last EncryptInPlace or DecryptInPlace returned false.
    ConversionFailure LastFailure() const { return lastFailure; }
    void SetProgressHandler(ProgressHandler handler) { progress = std::move(handler); }

private:
    bool Convert(const char* path, const char* password, bool encrypt);

    char* phrase;
    ConversionFailure lastFailure;
    ProgressHandler progress;
};
