#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace tren {

// The run-time library's failure codes, numbered as that library numbers them,
// so that a failure carries the same number on every system.
enum class ErrorCode : int {
    InvalidArgument = 5,
    Overflow = 6,
    OutOfMemory = 7,
    IndexOutOfRange = 9,
    BadFileName = 52,
    FileNotFound = 53,
    DeviceIo = 57,
    DiskFull = 61,
    InputPastEnd = 62,
    PermissionDenied = 70,
    PathFileAccess = 75,
    PathNotFound = 76,
};

// The standard text of a code, as a message box shows it: "File not found".
const char* StandardText(ErrorCode code);

// The one failure type of every service: a code, the file it concerns and the
// system's own reason. Caught only where a handler decides what the user sees.
class RunTimeError : public std::exception {
  public:
    RunTimeError(ErrorCode code, std::string operation, std::string path, std::string reason = {});

    ErrorCode Code() const noexcept { return code_; }
    const std::string& Path() const noexcept { return path_; }
    // "Cannot read /media/a/report.doc.tr2: Path not found (Not a directory)": the
    // system's own words in brackets, left out where they only repeat the code's text.
    const std::string& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

  private:
    ErrorCode code_;
    std::string path_;
    std::string description_;
};

} // namespace tren
