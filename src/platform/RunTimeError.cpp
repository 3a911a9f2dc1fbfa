#include "platform/RunTimeError.h"

namespace tren {

const char* StandardText(ErrorCode code) {
    switch (code) {
    case ErrorCode::InvalidArgument:
        return "Invalid procedure call or argument";
    case ErrorCode::Overflow:
        return "Overflow";
    case ErrorCode::OutOfMemory:
        return "Out of memory";
    case ErrorCode::IndexOutOfRange:
        return "Subscript out of range";
    case ErrorCode::BadFileName:
        return "Bad file name or number";
    case ErrorCode::FileNotFound:
        return "File not found";
    case ErrorCode::DeviceIo:
        return "Device I/O error";
    case ErrorCode::DiskFull:
        return "Disk full";
    case ErrorCode::InputPastEnd:
        return "Input past end of file";
    case ErrorCode::PermissionDenied:
        return "Permission denied";
    case ErrorCode::PathFileAccess:
        return "Path/File access error";
    case ErrorCode::PathNotFound:
        return "Path not found";
    }
    return "Application-defined or object-defined error";
}

static std::string Describe(ErrorCode code, const std::string& operation, const std::string& path,
                            const std::string& reason) {
    std::string text;
    if (!operation.empty()) {
        text = operation;
        if (!path.empty())
            text += " " + path;
        text += ": ";
    }
    text += StandardText(code);
    if (!reason.empty())
        text += " (" + reason + ")";
    return text;
}

RunTimeError::RunTimeError(ErrorCode code, std::string operation, std::string path,
                           std::string reason)
    : code_(code), path_(std::move(path)), description_(Describe(code, operation, path_, reason)) {}

} // namespace tren
