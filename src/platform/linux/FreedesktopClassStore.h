#pragma once

#include "platform/ClassStore.h"

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tren::platform {

// One picture of a file type's icon for the icon theme: "16x16" and ".png", or
// "scalable" and ".svg".
struct ThemeIcon {
    std::string Size;
    std::string Extension;
    std::string_view Bytes;
};

// The store of file classes on a freedesktop desktop, in the user's own folders:
// a MIME package for each class, its icon in the hicolor theme, a desktop entry
// for its verb, made the type's default application. Each value set rewrites
// whole the files it concerns from what this run knows so far, so that a failed
// step leaves the others standing.
class FreedesktopClassStore final : public ClassStore {
  public:
    // dataHome and configHome as $XDG_DATA_HOME and $XDG_CONFIG_HOME give them.
    FreedesktopClassStore(std::string dataHome, std::string configHome,
                          std::vector<ThemeIcon> icons);
    // The folders from the environment, with their defaults under home.
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

    bool WritePackage(const std::string& className);
    bool WriteIcons(const std::string& className);
    bool WriteDesktopEntry(const std::string& className, const std::string& verb,
                           const std::string& command);
    bool WriteIfChanged(const std::string& path, const std::string& contents);
    std::string PackagePath(const std::string& className) const;
    std::string IconFolder(const ThemeIcon& icon) const;

    std::string dataHome_;
    std::string configHome_;
    std::vector<ThemeIcon> icons_;
    std::set<std::string> created_;
    std::map<std::string, std::string> values_;
    bool mimeChanged_ = false;
    bool desktopChanged_ = false;
};

// A command value "PROGRAM PARAMS %1" as a desktop entry's Exec line: the program
// quoted and escaped as desktop entries require, the parameters, then %f.
std::string DesktopExec(const std::string& program, const std::string& params);

} // namespace tren::platform
