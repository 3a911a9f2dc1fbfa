#pragma once

#include "platform/ClassStore.h"
#include "platform/linux/DesktopCalls.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace tren::platform {

// One picture of an icon for the icon theme: the program's ("apps") or its file
// type's ("mimetypes"), at "16x16" as ".png", or "scalable" as ".svg".
struct ThemeIcon {
    std::string Context;
    std::string Size;
    std::string Extension;
    std::string_view Bytes;
};

// Where a freedesktop desktop keeps file types: the user's own folders, written
// here, and the system's, only read.
struct DesktopFolders {
    std::string DataHome;              // $XDG_DATA_HOME
    std::string ConfigHome;            // $XDG_CONFIG_HOME
    std::vector<std::string> DataDirs; // $XDG_DATA_DIRS
    std::string SearchPath;            // $PATH, where a desktop entry's bare program is found

    // The folders from the environment, with the basedir defaults under home.
    static DesktopFolders FromEnvironment(const std::string& home);
};

// The store of file classes on a freedesktop desktop, in the user's own folders:
// a MIME package for each class, its icon in the hicolor theme, and a desktop
// entry for its command, with the program's own icon.
//
// It behaves as the registry's class keys do: where an installed package (in the
// system's folders or the user's own) already provides the type with a desktop
// entry that runs this very program, nothing is written; a default application
// the user chose stays, and the program is only added to the type's applications;
// a file is written only when its contents change. Each value set rewrites whole
// the files it concerns from what this run knows so far, so that a failed step
// leaves the others standing; a file the user had is replaced only once its new
// contents are whole. A file that cannot be read is not replaced: the step fails
// instead.
class FreedesktopClassStore final : public ClassStore {
  public:
    // program is the file the registering process runs from.
    FreedesktopClassStore(DesktopFolders folders, std::string program, std::vector<ThemeIcon> icons,
                          DesktopCalls& calls = RealDesktopCalls());
    // The folders from the environment, for the running program.
    static FreedesktopClassStore FromEnvironment(const std::string& home,
                                                 std::vector<ThemeIcon> icons,
                                                 DesktopCalls& calls = RealDesktopCalls());

    StoreResult CreateKey(RootKey root, const std::string& subKey) override;
    StoreResult SetDefaultValue(RootKey root, const std::string& subKey,
                                const std::string& value) override;
    // Runs update-mime-database and update-desktop-database where this run set
    // what they read and their caches are missing or older than it.
    StoreResult Publish() override;
    // Removes from the user's folders the desktop entry named after program, where
    // it runs program and handles the class's type, with the type's package, the
    // icons and the user's default for the type; the system's folders, where an
    // installed package keeps its files, are never touched.
    RemovalResult RemoveClass(const std::string& ext, const std::string& className,
                              const std::string& verb, const std::string& program) override;

    // "TR.File" is the type "application/x-tr-file", with the icon name
    // "application-x-tr-file".
    static std::string MimeTypeOf(const std::string& className);

  private:
    enum class Kind { Extension, Class, Icon, Command, Other };
    struct Key {
        Kind kind;
        std::string className; // the class the key belongs to; the extension for Extension
        std::string verb;
    };
    static Key Parse(const std::string& subKey);
    // The folders a key stands for: made when it is created, needed when it is set.
    std::vector<std::string> FoldersOf(const Key& key) const;

    // What installed packages, in the user's folders or the system's, give this
    // program, read once: the types and the globs that lead to them.
    struct SystemTypes {
        std::set<std::string> types;
        std::map<std::string, std::string> globs;
    };
    const SystemTypes& SystemTypesOf();
    // Whether the system's folders already give what the key stands for, with a
    // desktop entry that runs this program.
    bool ProvidedBySystem(const Key& key);
    // A desktop entry's bare program as found on the search path.
    std::string ResolveProgram(const std::string& program);
    bool IsThisProgram(const std::string& path);

    void WritePackage(const std::string& className);
    void WriteIcons(const std::string& className);
    void WriteDesktopEntry(const std::string& className, const std::string& command);
    void WriteDefaultApplication(const std::string& type, const std::string& id);
    void UpdateDatabase(const char* tool, const std::string& folder);
    std::string PackagePath(const std::string& className) const;
    std::string IconFolder(const ThemeIcon& icon) const;

    // The file operations, each throwing RunTimeError with the path it concerns.
    enum class Found { Missing, Folder, File, Other };
    Found KindOf(const std::string& path);
    std::optional<timespec> ModifiedAt(const std::string& path);
    // The whole file; nothing when it is not there.
    std::optional<std::string> Read(const std::string& path);
    // Puts contents at path when they differ from what is there (before).
    void Replace(const std::string& path, const std::string& contents,
                 const std::optional<std::string>& before);
    void MakeFolder(const std::string& path);
    void Remove(const std::string& path);
    bool SameFile(const std::string& a, const std::string& b);

    DesktopFolders folders_;
    std::string program_;
    std::vector<ThemeIcon> icons_;
    DesktopCalls& calls_;
    std::set<std::string> created_;
    std::map<std::string, std::string> values_;
    std::optional<SystemTypes> system_;
    // What this run set that the desktop's databases read.
    bool packageSet_ = false;
    std::set<std::string> entries_;
};

// A command value "PROGRAM PARAMS %1" as a desktop entry's Exec line: the program
// quoted and escaped as desktop entries require, the parameters, then %f.
std::string DesktopExec(const std::string& program, const std::string& params);

// The program an Exec line runs, unquoted; "" when there is none.
std::string ExecProgram(const std::string& exec);

} // namespace tren::platform
