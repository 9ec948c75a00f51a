#include "engine/ConversionFailure.h"

#include <cerrno>
#include <cstring>

namespace {

std::string WithSystemError(std::string text, int systemError) {
    if (systemError != 0) text += " (" + std::string(std::strerror(systemError)) + ")";
    return text;
}

}  // namespace

std::string DescribeFailure(const ConversionFailure& failure, const std::string& path) {
    switch (failure.reason) {
    case FailureReason::None:
        return "it succeeded";
    case FailureReason::WrongPassword:
        return "the password is wrong, or the file is not encrypted";
    case FailureReason::CannotRead:
        if (failure.systemError == ENOENT) return "the file does not exist";
        if (failure.systemError == EACCES) return "you have no permission to read the file";
        return WithSystemError("the file cannot be read", failure.systemError);
    case FailureReason::CannotWrite:
        if (failure.systemError == ENOSPC || failure.systemError == EDQUOT)
            return WithSystemError("there is not enough space on the disk", failure.systemError);
        if (failure.systemError == EFBIG)
            return WithSystemError("the file would exceed the allowed file size", failure.systemError);
        if (failure.systemError == ENAMETOOLONG)
            return "the name is too long for the temporary file beside it; give the file a shorter name";
        if (failure.systemError == EACCES || failure.systemError == EROFS)
            return WithSystemError("the folder of the file cannot be written to", failure.systemError);
        return WithSystemError("the converted file cannot be written", failure.systemError);
    case FailureReason::TemporaryNameTaken:
        return "a file named \"" + path + ".tmp\" is in the way; move or rename it and try again";
    case FailureReason::ReadOnly:
        return "the file is read-only";
    case FailureReason::NotRegularFile:
        return "it is not a regular file (a folder, device, pipe or symbolic link)";
    case FailureReason::HardLinked:
        return "the file has further names (hard links) that would keep its plain content";
    case FailureReason::FileChanged:
        return "another program changed the file during the conversion";
    case FailureReason::CipherUnavailable:
        return "the cipher service is unavailable (its key store cannot be opened)";
    }
    return "of an unknown error";
}
