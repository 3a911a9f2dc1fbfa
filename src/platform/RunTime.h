#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tren::platform {

// What stands at a name. A symbolic link is reported as a link, with the file it
// leads to described separately.
enum class EntryKind { Missing, Regular, Folder, Link, Other };

// Two names with equal identities are the same file, whatever links joined them.
struct FileId {
    std::uint64_t Device = 0;
    std::uint64_t Index = 0;
    bool operator==(const FileId&) const = default;
};

struct EntryInfo {
    EntryKind Kind = EntryKind::Missing;
    // The entry itself (a link's own identity for a link).
    FileId Id;
    // What the name leads to once links are followed; Missing for a dangling link.
    EntryKind TargetKind = EntryKind::Missing;
    FileId TargetId;
};

// What tells that a file changed: its length and its modification and change
// times (in the system's own units; a system without change times gives 0).
struct FileStamp {
    std::int64_t Length = 0;
    std::int64_t Modified = 0;
    std::int64_t Changed = 0;
    bool operator==(const FileStamp&) const = default;
};

// The room left on a folder's disk for this user, and the unit every file's
// length is rounded up to there.
struct DiskSpace {
    std::int64_t Free = 0;
    std::int64_t Unit = 1;
};

// A regular file held open for reading: a source, a header or a data piece. It
// stays the same file while open, whatever happens to its name.
class InputFile {
  public:
    virtual ~InputFile() = default;
    virtual const std::string& Path() const = 0;
    virtual FileId Id() const = 0;
    virtual std::int64_t Length() = 0;
    // Looked at anew on each call.
    virtual FileStamp Stamp() = 0;
    // Returns the bytes found, fewer than asked only at the end of the file.
    virtual std::size_t ReadAt(std::int64_t offset, std::span<std::uint8_t> into) = 0;
};

// A new file that takes its name only once it is complete, so that no one ever
// sees it half written under that name; until then it has no name, or a hidden
// temporary one. Destroying it before Publish removes it. Whichever of Flush and
// Publish comes second closes it, and a failing close is a failure of the file.
class OutputFile {
  public:
    virtual ~OutputFile() = default;
    // The name the file will have: the one every failure names.
    virtual const std::string& Path() const = 0;
    virtual void WriteAt(std::int64_t offset, std::span<const std::uint8_t> from) = 0;
    // Copies count bytes without passing them through the process. Returns the
    // bytes copied, fewer only where the input ends, or -1 when the system will
    // not copy between these files (or the copy failed on a side it cannot tell),
    // so that the caller moves the bytes itself.
    virtual std::int64_t CopyFrom(InputFile& from, std::int64_t fromOffset, std::int64_t toOffset,
                                  std::int64_t count) = 0;
    // Starts writing what was written so far to the disk, without waiting.
    virtual void StartFlush() = 0;
    // Returns once everything written is on the disk.
    virtual void Flush() = 0;
    // Gives the file its name, replacing whatever stood there.
    virtual void Publish() = 0;
    // Puts the name given by Publish on the disk.
    virtual void FlushName() = 0;
    // Lets go of a named file whose bytes are written or on their way, without
    // waiting for them: they are on the disk once RunTime::FlushDisk returns for
    // its folder. Where the system cannot flush a whole disk at once, this waits.
    virtual void Release() = 0;
};

// A SHA-256 digest being computed over bytes given in order.
class Hasher {
  public:
    virtual ~Hasher() = default;
    virtual void Add(std::span<const std::uint8_t> bytes) = 0;
    virtual std::array<std::uint8_t, 32> Finish() = 0;
};

// An MD5 digest, which the recovery files' format uses to name and check its
// packets and slices; no one relies on it against a forger.
class Md5Hasher {
  public:
    virtual ~Md5Hasher() = default;
    virtual void Add(std::span<const std::uint8_t> bytes) = 0;
    virtual std::array<std::uint8_t, 16> Finish() = 0;
};

// How a new file replaces the name it is given.
enum class Naming {
    // The name itself is replaced: a link standing there is replaced, not written
    // through.
    ReplaceName,
    // A link standing there is followed, and the file it names is replaced, keeping
    // its permissions.
    ReplaceLinkTarget,
};

// Held while a folder's pieces are written (exclusive) or read (shared), so that
// a reader never sees a set that is being replaced and two writers never mix
// their pieces.
class FolderLock {
  public:
    virtual ~FolderLock() = default;
};

// A file in the trash that can still be put back where it was.
class TrashedFile {
  public:
    virtual ~TrashedFile() = default;
    // Puts the file back under its own name; otherwise it stays in the trash.
    virtual void PutBack() = 0;
};

// Readers of a folder share it; a writer has it alone.
enum class LockKind { Shared, Exclusive };

// The directory-entry lookup, on its own so that path routines can be tried
// against a table of names.
class EntryLookup {
  public:
    virtual ~EntryLookup() = default;
    // The stored name of the directory entry that path names, or "" when no entry
    // of the kinds in attributes matches. Attributes: 0 matches ordinary files
    // only, 2 adds hidden ones, 4 system ones, 16 folders. Throws when the path
    // cannot be examined at all.
    virtual std::string LookUpEntry(const std::string& path, int attributes) = 0;
};

// The run-time library's file and process services. Every failure is thrown as
// tren::RunTimeError, naming the file it concerns. Paths are byte strings.
class RunTime : public EntryLookup {
  public:
    virtual std::int64_t FileLength(const std::string& path) = 0;
    // Missing when nothing stands at path (or a folder on its way is missing);
    // any other failure to look is thrown.
    virtual EntryInfo Examine(const std::string& path) = 0;
    bool FolderExists(const std::string& path) {
        return Examine(path).TargetKind == EntryKind::Folder;
    }
    virtual void CreateFolder(const std::string& path) = 0;
    // Removes a file's name; a name that is not there is no failure.
    virtual void RemoveFile(const std::string& path) = 0;
    // Puts the folder's entries, as changed so far, on the disk.
    virtual void FlushFolder(const std::string& folder) = 0;
    // Puts everything written so far on the folder's disk, names included: one
    // wait for the files let go with OutputFile::Release, however many.
    virtual void FlushDisk(const std::string& folder) = 0;
    // The longest file name, in bytes, that the folder can hold.
    virtual std::size_t MaxNameLength(const std::string& folder) = 0;
    // Waits for the lock, calling waiting first where another run holds it;
    // released when the returned object goes.
    virtual std::unique_ptr<FolderLock> LockFolder(const std::string& folder, LockKind kind,
                                                   const std::function<void()>& waiting) = 0;
    std::unique_ptr<FolderLock> LockFolder(const std::string& folder, LockKind kind) {
        return LockFolder(folder, kind, {});
    }
    virtual DiskSpace SpaceOf(const std::string& folder) = 0;
    // Why the folder's disk would not take name as it is given ("" when it
    // would): characters that disk forbids, or a trailing dot or blank that it
    // would drop. Asked before anything is written under that name.
    virtual std::string NameRefusal(const std::string& folder, const std::string& name) = 0;
    // The hidden temporary files that runs which are gone left in the folder: a
    // live run's are never counted. Removes them where remove is set; returns how
    // many there were.
    virtual int Leftovers(const std::string& folder, bool remove) = 0;
    // The names of the entries in folder that begin with prefix, in any case: a
    // disk that ignores case may hold a set's names in another. None where the
    // folder is missing.
    virtual std::vector<std::string> NamesStartingWith(const std::string& folder,
                                                       const std::string& prefix) = 0;
    // Whether the disk holding path has a trash (the Recycle Bin) that would take
    // the file; asked before anything is written.
    virtual bool HasTrash(const std::string& path) = 0;
    // Moves the file at path to its disk's trash, where a person can get it back.
    virtual std::unique_ptr<TrashedFile> MoveToTrash(const std::string& path) = 0;

    // Only regular files are opened; anything else (a pipe, a device, a folder) is
    // refused without waiting on it.
    virtual std::unique_ptr<InputFile> OpenInput(const std::string& path) = 0;
    // A new, empty file in the folder of the name it will take. A pipe, socket or
    // folder standing at that name is refused.
    virtual std::unique_ptr<OutputFile> CreateOutput(const std::string& path, Naming naming) = 0;

    // A new SHA-256, from the system's own cryptography library.
    virtual std::unique_ptr<Hasher> NewSha256() = 0;
    // A new MD5, from the same library.
    virtual std::unique_ptr<Md5Hasher> NewMd5() = 0;

    // The full path of the running program file.
    virtual std::string ProgramPath() = 0;
    // The user's own folder, without a trailing separator.
    virtual std::string HomeFolder() = 0;
    // Where files go when the user chose no folder (made when missing by the
    // caller), without a trailing separator.
    virtual std::string DefaultFolder() = 0;
    virtual std::string CurrentDirectory() = 0;
    // The absolute, lexically normalised form of path, taken from the current
    // directory where it is relative; links are not followed.
    virtual std::string FullPath(const std::string& path) = 0;
};

} // namespace tren::platform
