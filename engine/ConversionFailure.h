#pragma once

#include <string>

// Why a conversion ended without converting the file. In every case the file
// is left as it was and no temporary file of the conversion remains.
enum class FailureReason {
    None,
    WrongPassword,       // the head test failed: wrong password, or not an encrypted file
    CannotRead,          // the file cannot be opened or read (missing, no permission, I/O error)
    CannotWrite,         // the converted copy cannot be written or put in place (disk full, ...)
    TemporaryNameTaken,  // a file already bears the temporary name
    ReadOnly,            // the file has no write permission for its owner
    NotRegularFile,      // a folder, device, pipe, socket or symbolic link
    HardLinked,          // encrypting would leave the plain content under the file's other names
    FileChanged,         // another program changed the file while it was converted
    CipherUnavailable,   // the key store cannot be opened, or the cipher failed
};

struct ConversionFailure {
    FailureReason reason = FailureReason::None;
    int systemError = 0;  // errno of the failing call, 0 when there is none
    // Decryption only: the head matched, so the password was right and the
    // failure came later (a read error halfway is then no password problem).
    bool passwordAccepted = false;
};

// A short lower-case clause for messages, such as
// "the file is read-only" or
// "there is not enough space on the disk (No space left on device)".
// `path` is the file the conversion was given.
std::string DescribeFailure(const ConversionFailure& failure, const std::string& path);
