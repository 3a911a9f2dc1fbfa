#pragma once

#include "platform/ClassStore.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tren::platform {

// One picture of an icon for the icon theme: "16x16" and ".png", or "scalable"
// and ".svg".
struct ThemeIcon {
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
// It behaves as the registry's class keys do: where an installed package already
// provides the type with a desktop entry that runs this very program, nothing is
// written; a default application the user chose stays, and the program is only
// added to the type's applications; a file is written only when its contents
// change. Each value set rewrites whole the files it concerns from what this run
// knows so far, so that a failed step leaves the others standing. No failure
// escapes: each is the failure of the key step it happened in.
class FreedesktopClassStore final : public ClassStore {
  public:
    // program is the file the registering process runs from.
    FreedesktopClassStore(DesktopFolders folders, std::string program,
                          std::vector<ThemeIcon> icons);
    // The folders from the environment, for the running program.
    static FreedesktopClassStore FromEnvironment(const std::string& home,
                                                 std::vector<ThemeIcon> icons);

    bool CreateKey(RootKey root, const std::string& subKey) override;
    SetOutcome SetDefaultValue(RootKey root, const std::string& subKey,
                               const std::string& value) override;
    // Runs update-mime-database and update-desktop-database when this run changed
    // what they read, or when their caches are missing.
    void Publish() override;

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
    // Whether the system's folders already give what the key stands for, with a
    // desktop entry that runs this program.
    bool ProvidedBySystem(const Key& key);

    bool Create(const std::string& subKey);
    SetOutcome Set(const std::string& subKey, const std::string& value);
    bool WritePackage(const std::string& className);
    bool WriteIcons(const std::string& className);
    bool WriteDesktopEntry(const std::string& className, const std::string& command);
    bool WriteDefaultApplication(const std::string& type, const std::string& id);
    bool WriteIfChanged(const std::string& path, const std::string& contents);
    std::string PackagePath(const std::string& className) const;
    std::string IconFolder(const ThemeIcon& icon, const char* context) const;

    DesktopFolders folders_;
    std::string program_;
    std::vector<ThemeIcon> icons_;
    std::set<std::string> created_;
    std::map<std::string, std::string> values_;
    // What the system's folders give this program, read once: the types and the
    // globs that lead to them.
    struct SystemTypes {
        std::set<std::string> types;
        std::map<std::string, std::string> globs;
    };
    std::optional<SystemTypes> system_;
    bool mimeChanged_ = false;
    bool desktopChanged_ = false;
};

// A command value "PROGRAM PARAMS %1" as a desktop entry's Exec line: the program
// quoted and escaped as desktop entries require, the parameters, then %f.
std::string DesktopExec(const std::string& program, const std::string& params);

// The program an Exec line runs, unquoted; "" when there is none.
std::string ExecProgram(const std::string& exec);

} // namespace tren::platform
