#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tren::platform {

// A file written under a temporary name beside its destination, and the file it
// will replace once it is complete.
struct Replacement {
    std::string Temporary;
    std::string Target;
    // A device or other special file is written where it stands, as a plain write
    // would; it is never renamed over.
    bool InPlace = false;
    // An existing file is replaced, so the new one is flushed to the disk before it
    // takes the old one's place.
    bool Replaces = false;
};

// The directory-entry lookup, on its own so that path routines can be tried
// against a table of names.
class EntryLookup {
public:
    virtual ~EntryLookup() = default;
    // The stored name of the directory entry that path names, or "" when no entry
    // of the kinds in attributes matches. Attributes as the old run-time library
    // numbered them: 0 matches ordinary files only, 2 adds hidden ones, 4 system
    // ones, 16 folders. Throws when the path cannot be examined at all.
    virtual std::string LookUpEntry(const std::string& path, int attributes) = 0;
};

// The run-time library's file and process services. Every failure is thrown as
// tren::RunTimeError, with the path it concerns. Paths are byte strings.
class RunTime : public EntryLookup {
public:
    virtual ~RunTime() = default;

    virtual std::int64_t FileLength(const std::string& path) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    virtual void CreateFolder(const std::string& path) = 0;
    // Opens the file for reading and closes it again, so that an unreadable file
    // fails before anything else is asked of the user.
    virtual void CheckReadable(const std::string& path) = 0;

    // One whole-buffer transfer: open, move, close. A read returns the bytes it
    // found, which is fewer than asked only at the end of the file.
    virtual std::size_t ReadAt(const std::string& path, std::int64_t offset,
                               std::span<std::uint8_t> into) = 0;
    // Creates the file when missing; afterwards it ends exactly where this write ends.
    virtual void WriteAt(const std::string& path, std::int64_t offset,
                         std::span<const std::uint8_t> from) = 0;
    // Copies count bytes from one file into another without passing them through
    // the process, the target ending where the copy ends. Returns the bytes copied,
    // or -1 before touching anything when the system cannot copy between these two
    // files, so that the caller moves them itself.
    virtual std::int64_t CopyRange(const std::string& from, std::int64_t fromOffset,
                                   const std::string& to, std::int64_t toOffset,
                                   std::int64_t count) = 0;

    // A new, empty temporary file in the folder of the file the destination names
    // (a symbolic link is followed to its target). Fails as writing the
    // destination itself would when an existing destination may not be written.
    // Write the image into Temporary.
    virtual Replacement BeginReplacement(const std::string& destination) = 0;
    // Renames the temporary file over the target, flushing it first when it
    // replaces an existing file.
    virtual void CommitReplacement(const Replacement& replacement) = 0;
    virtual void DiscardReplacement(const Replacement& replacement) noexcept = 0;

    // The full path of the running program file.
    virtual std::string ProgramPath() = 0;
    // The user's own folder, without a trailing separator.
    virtual std::string HomeFolder() = 0;
    virtual std::string CurrentDirectory() = 0;
};

} // namespace tren::platform
