#include "platform/linux/FreedesktopClassStore.h"

#include "platform/ClassCommand.h"
#include "platform/Paths.h"
#include "platform/TemporaryName.h"
#include "platform/linux/PosixRunTime.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sstream>
#include <unistd.h>

namespace tren::platform {

namespace {

using Lines = std::vector<std::string>;

// What the user-level desktop entry says besides its program, type and icon. The
// window's class is the application's name, "tren", whatever the program file is
// called: docks group the window with the entry that names that class.
constexpr std::string_view EntryDescription = "Name=tren\n"
                                              "StartupWMClass=tren\n"
                                              "GenericName=File Splitter\n"
                                              "Comment=Cut a file into pieces that fit on "
                                              "removable media, and build it again\n"
                                              "Keywords=split;join;pieces;floppy;tr0;\n";

[[noreturn]] void Fail(int error, const char* operation, const std::string& path) {
    throw RunTimeError(CodeOfErrno(error), operation, path, std::strerror(error));
}

// A name that is not there, or has a file where a folder of it should be.
bool IsMissing(int error) {
    return error == ENOENT || error == ENOTDIR;
}

// Runs one part of a store step: whatever stops it is the step's outcome.
template <class Work> StoreResult Outcome(StoreStep step, Work work) {
    try {
        work();
        return {};
    } catch (const RunTimeError& error) {
        return {step, error};
    } catch (const std::bad_alloc&) {
        return {step, RunTimeError(ErrorCode::OutOfMemory, "Cannot register the file type", "")};
    } catch (const std::exception& error) {
        return {step, RunTimeError(ErrorCode::PathFileAccess, "Cannot register the file type", "",
                                   error.what())};
    }
}

bool Older(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

Lines Split(const std::string& text, char separator) {
    Lines parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    return parts;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool SameText(const std::string& a, const std::string& b) {
    return Lower(a) == Lower(b);
}

std::string Xml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A folder from the environment, or its default under home; the basedir rules
// ignore a relative one.
std::string XdgFolder(const char* variable, const std::string& home, const char* fallback) {
    const char* value = std::getenv(variable);
    if (value && value[0] == '/')
        return value;
    return WithTrailingSeparator(home) + fallback;
}

std::string IconNameOf(const std::string& mimeType) {
    std::string name = mimeType;
    std::replace(name.begin(), name.end(), '/', '-');
    return name;
}

// The value of key in a desktop entry's main group, "" when it is not there.
std::string EntryValue(const std::string& entry, const std::string& key) {
    bool inMain = false;
    for (const auto& line : Split(entry, '\n')) {
        if (!line.empty() && line.front() == '[')
            inMain = line == "[Desktop Entry]";
        else if (inMain && line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    }
    return {};
}

// "a.desktop;b.desktop;" as its ids, in order.
Lines IdsOf(const std::string& value) {
    Lines ids;
    for (const auto& id : Split(value, ';'))
        if (!id.empty())
            ids.push_back(id);
    return ids;
}

// The line "type=..." of a group of mimeapps.list, if there is one.
std::optional<std::size_t> FindAssociation(const Lines& lines, std::string_view group,
                                           const std::string& type) {
    bool inGroup = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].empty() && lines[i].front() == '[')
            inGroup = lines[i] == group;
        else if (inGroup && lines[i].rfind(type + "=", 0) == 0)
            return i;
    }
    return std::nullopt;
}

// Sets "type=value" in a group: in place of its line, or after the group's last
// line, or in a new group at the end.
void SetAssociation(Lines& lines, std::string_view group, const std::string& type,
                    const std::string& value) {
    const std::string line = type + "=" + value;
    if (const auto at = FindAssociation(lines, group, type)) {
        lines[*at] = line;
        return;
    }
    std::optional<std::size_t> groupEnd;
    bool inGroup = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].empty() && lines[i].front() == '[') {
            inGroup = lines[i] == group;
            if (inGroup)
                groupEnd = i + 1;
        } else if (inGroup && !lines[i].empty()) {
            groupEnd = i + 1;
        }
    }
    if (groupEnd) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*groupEnd), line);
        return;
    }
    if (!lines.empty() && !lines.back().empty())
        lines.push_back("");
    lines.push_back(std::string(group));
    lines.push_back(line);
}

} // namespace

std::string DesktopExec(const std::string& program, const std::string& params) {
    // Quoted only where a reserved character requires it: simple launchers, such as
    // xdg-open without a desktop, take the first word as it stands.
    constexpr std::string_view Reserved = " \t\n\"'\\><~|&;$*?#()`";
    if (program.find_first_of(Reserved) == std::string::npos) {
        std::string exec;
        for (char c : program)
            exec += c == '%' ? std::string("%%") : std::string(1, c);
        return exec + (params.empty() ? "" : " " + params) + " %f";
    }
    // Inside double quotes a backslash, a quote, a backtick and a dollar sign take a
    // backslash; then the string rules double every backslash again, and a
    // percent sign is doubled so that it is not a field code.
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$')
            quoted += "\\";
        if (c == '\\')
            quoted += "\\\\\\";
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string exec = quoted;
    if (!params.empty())
        exec += " " + params;
    return exec + " %f";
}

std::string ExecProgram(const std::string& exec) {
    // The string rules first: "\\" is one backslash, "\s" a blank; other
    // backslashes belong to the quoting.
    std::string text;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char next = i + 1 < exec.size() ? exec[i + 1] : '\0';
        if (exec[i] == '\\' && std::string_view("\\stnr").find(next) != std::string_view::npos &&
            next != '\0') {
            text += next == 's'   ? ' '
                    : next == 't' ? '\t'
                    : next == 'n' ? '\n'
                    : next == 'r' ? '\r'
                                  : next;
            ++i;
        } else {
            text += exec[i];
        }
    }
    std::string program;
    if (!text.empty() && text.front() == '"') {
        for (std::size_t i = 1; i < text.size() && text[i] != '"'; ++i) {
            if (text[i] == '\\' && i + 1 < text.size())
                ++i;
            program += text[i];
        }
    } else {
        program = text.substr(0, text.find_first_of(" \t"));
    }
    std::string unescaped;
    for (std::size_t i = 0; i < program.size(); ++i) {
        unescaped += program[i];
        if (program[i] == '%' && i + 1 < program.size() && program[i + 1] == '%')
            ++i;
    }
    return unescaped;
}

DesktopFolders DesktopFolders::FromEnvironment(const std::string& home) {
    DesktopFolders folders{XdgFolder("XDG_DATA_HOME", home, ".local/share"),
                           XdgFolder("XDG_CONFIG_HOME", home, ".config"),
                           {},
                           {}};
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    for (const auto& folder :
         Split(dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share", ':'))
        if (!folder.empty() && folder.front() == '/')
            folders.DataDirs.push_back(folder);
    if (const char* path = std::getenv("PATH"))
        folders.SearchPath = path;
    return folders;
}

FreedesktopClassStore::FreedesktopClassStore(DesktopFolders folders, std::string program,
                                             std::vector<ThemeIcon> icons, DesktopCalls& calls)
    : folders_(std::move(folders)), program_(std::move(program)), icons_(std::move(icons)),
      calls_(calls) {
    folders_.DataHome = WithTrailingSeparator(folders_.DataHome);
    folders_.ConfigHome = WithTrailingSeparator(folders_.ConfigHome);
}

FreedesktopClassStore FreedesktopClassStore::FromEnvironment(const std::string& home,
                                                             std::vector<ThemeIcon> icons,
                                                             DesktopCalls& calls) {
    // Without its own name the program is taken for no installed package's, and
    // registers in the user's folders.
    char program[PATH_MAX];
    const ssize_t length = calls.ReadLink("/proc/self/exe", program, sizeof program);
    return FreedesktopClassStore(DesktopFolders::FromEnvironment(home),
                                 std::string(program, length > 0 ? std::size_t(length) : 0),
                                 std::move(icons), calls);
}

std::string FreedesktopClassStore::MimeTypeOf(const std::string& className) {
    std::string type = "application/x-";
    for (char c : className)
        type += c == '.' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return type;
}

FreedesktopClassStore::Key FreedesktopClassStore::Parse(const std::string& subKey) {
    const auto parts = Split(subKey, '\\');
    if (parts.size() == 1 && !parts[0].empty() && parts[0].front() == '.')
        return {Kind::Extension, parts[0], {}};
    if (parts.size() == 1)
        return {Kind::Class, parts[0], {}};
    if (parts.size() == 2 && SameText(parts[1], "DefaultIcon"))
        return {Kind::Icon, parts[0], {}};
    if (parts.size() == 4 && SameText(parts[1], "shell") && SameText(parts[3], "command"))
        return {Kind::Command, parts[0], parts[2]};
    return {Kind::Other, parts.empty() ? std::string() : parts[0], {}};
}

std::string FreedesktopClassStore::PackagePath(const std::string& className) const {
    const std::string type = MimeTypeOf(className);
    return folders_.DataHome + "mime/packages/" + type.substr(type.find('/') + 1) + ".xml";
}

std::string FreedesktopClassStore::IconFolder(const ThemeIcon& icon) const {
    return folders_.DataHome + "icons/hicolor/" + icon.Size + "/" + icon.Context + "/";
}

std::vector<std::string> FreedesktopClassStore::FoldersOf(const Key& key) const {
    std::vector<std::string> folders;
    switch (key.kind) {
    case Kind::Extension:
    case Kind::Class:
        folders.push_back(folders_.DataHome + "mime/packages");
        break;
    case Kind::Icon:
        for (const auto& icon : icons_)
            if (icon.Context == "mimetypes")
                folders.push_back(IconFolder(icon));
        break;
    case Kind::Command:
        // The entry shows the program's own icon.
        folders.push_back(folders_.DataHome + "applications");
        for (const auto& icon : icons_)
            if (icon.Context == "apps")
                folders.push_back(IconFolder(icon));
        break;
    case Kind::Other:
        break;
    }
    return folders;
}

FreedesktopClassStore::Found FreedesktopClassStore::KindOf(const std::string& path) {
    struct stat st;
    if (calls_.Stat(path.c_str(), &st) != 0) {
        if (IsMissing(errno))
            return Found::Missing;
        Fail(errno, "Cannot look at", path);
    }
    return S_ISDIR(st.st_mode) ? Found::Folder : S_ISREG(st.st_mode) ? Found::File : Found::Other;
}

std::optional<timespec> FreedesktopClassStore::ModifiedAt(const std::string& path) {
    struct stat st;
    if (calls_.Stat(path.c_str(), &st) == 0)
        return st.st_mtim;
    if (IsMissing(errno))
        return std::nullopt;
    Fail(errno, "Cannot look at", path);
}

std::optional<std::string> FreedesktopClassStore::Read(const std::string& path) {
    int fd;
    do
        fd = calls_.Open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (IsMissing(errno))
            return std::nullopt;
        Fail(errno, "Cannot read", path);
    }
    std::string contents;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t n = calls_.Read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            calls_.Close(fd);
            Fail(error, "Cannot read", path);
        }
        if (n == 0)
            break;
        contents.append(buffer.data(), static_cast<std::size_t>(n));
    }
    // A file that will not close may not have been read whole either.
    if (calls_.Close(fd) != 0 && errno != EINTR)
        Fail(errno, "Cannot read", path);
    return contents;
}

void FreedesktopClassStore::Replace(const std::string& path, const std::string& contents,
                                    const std::optional<std::string>& before) {
    if (before == contents)
        return;
    // Written whole under a hidden name beside it and renamed, so that the desktop
    // never reads half a file and a failure leaves the one before as it was.
    const std::string temporary = TemporaryName(path);
    int fd = calls_.Open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        Fail(errno, "Cannot write", path);
    try {
        for (std::size_t done = 0; done < contents.size();) {
            const ssize_t n = calls_.Write(fd, contents.data() + done, contents.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                Fail(errno, "Cannot write", path);
            if (n == 0)
                throw RunTimeError(ErrorCode::DeviceIo, "Cannot write", path, "nothing written");
            done += static_cast<std::size_t>(n);
        }
        if (calls_.FSync(fd) != 0)
            Fail(errno, "Cannot write", path);
        const int closing = fd;
        fd = -1;
        if (calls_.Close(closing) != 0 && errno != EINTR)
            Fail(errno, "Cannot write", path);
        if (calls_.Rename(temporary.c_str(), path.c_str()) != 0)
            Fail(errno, "Cannot write", path);
    } catch (...) {
        if (fd >= 0)
            calls_.Close(fd);
        // A temporary that will not go either keeps its hidden name, which nothing reads.
        calls_.Unlink(temporary.c_str());
        throw;
    }
}

void FreedesktopClassStore::MakeFolder(const std::string& path) {
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    // The folders missing on the way, from the deepest up to the first one there.
    std::vector<std::string> missing;
    Found found;
    while ((found = KindOf(folder)) == Found::Missing && folder.rfind('/') > 0) {
        missing.push_back(folder);
        folder.resize(folder.rfind('/'));
    }
    if (found != Found::Folder)
        throw RunTimeError(ErrorCode::PathNotFound, "Cannot create the folder", folder,
                           "a file stands in its way");
    for (auto part = missing.rbegin(); part != missing.rend(); ++part)
        // One made meanwhile by another program will do as well.
        if (calls_.MkDir(part->c_str(), 0777) != 0 &&
            !(errno == EEXIST && KindOf(*part) == Found::Folder))
            Fail(errno, "Cannot create the folder", *part);
}

std::string FreedesktopClassStore::ResolveProgram(const std::string& program) {
    if (program.empty() || program.find('/') != std::string::npos)
        return program;
    for (const auto& folder : Split(folders_.SearchPath, ':')) {
        const std::string candidate =
            WithTrailingSeparator(folder.empty() ? "." : folder) + program;
        if (calls_.Access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (!IsMissing(errno) && errno != EACCES)
            Fail(errno, "Cannot look at", candidate);
    }
    return {};
}

bool FreedesktopClassStore::IsThisProgram(const std::string& path) {
    if (path.empty() || program_.empty())
        return false;
    struct stat a, b;
    for (const auto& [name, st] : {std::pair{path.c_str(), &a}, std::pair{program_.c_str(), &b}})
        if (calls_.Stat(name, st) != 0) {
            if (IsMissing(errno))
                return false;
            Fail(errno, "Cannot look at", name);
        }
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

const FreedesktopClassStore::SystemTypes& FreedesktopClassStore::SystemTypesOf() {
    if (system_)
        return *system_;
    SystemTypes found;
    std::set<std::string> listed;
    // A package installed in the user's own folders (cmake --install --prefix
    // ~/.local) counts as one in the system's; the entry this store writes itself
    // does not, or a start could never bring it up to date.
    std::vector<std::string> installed{folders_.DataHome};
    installed.insert(installed.end(), folders_.DataDirs.begin(), folders_.DataDirs.end());
    const std::string ownEntry = FileNameOf(program_) + ".desktop";
    for (const auto& data : installed) {
        const std::string applications = WithTrailingSeparator(data) + "applications";
        std::vector<std::string> names;
        if (calls_.ListFolder(applications.c_str(), names) != 0 && !IsMissing(errno))
            Fail(errno, "Cannot read the folder", applications);
        for (const auto& name : names) {
            if (name.size() <= 8 || name.compare(name.size() - 8, 8, ".desktop") != 0 ||
                (data == folders_.DataHome && name == ownEntry))
                continue;
            const std::string entry = Read(applications + "/" + name).value_or("");
            if (IsThisProgram(ResolveProgram(ExecProgram(EntryValue(entry, "Exec")))))
                for (const auto& type : IdsOf(EntryValue(entry, "MimeType")))
                    listed.insert(type);
        }
        // The system's MIME database, as its triggers last built it:
        // "weight:type:glob" lines.
        for (const auto& line :
             Split(Read(WithTrailingSeparator(data) + "mime/globs2").value_or(""), '\n')) {
            const auto fields = Split(line, ':');
            if (fields.size() >= 3 && line.front() != '#' && listed.count(fields[1])) {
                found.types.insert(fields[1]);
                found.globs.emplace(fields[2], fields[1]);
            }
        }
    }
    return system_.emplace(std::move(found));
}

bool FreedesktopClassStore::ProvidedBySystem(const Key& key) {
    const SystemTypes& system = SystemTypesOf();
    switch (key.kind) {
    case Kind::Extension:
        return system.globs.count("*" + Lower(key.className)) > 0;
    case Kind::Class:
    case Kind::Icon:
    case Kind::Command:
        return system.types.count(MimeTypeOf(key.className)) > 0;
    case Kind::Other:
        break;
    }
    return false;
}

StoreResult FreedesktopClassStore::CreateKey(RootKey, const std::string& subKey) {
    return Outcome(StoreStep::CreateKey, [&] {
        const Key key = Parse(subKey);
        if (!ProvidedBySystem(key))
            for (const auto& folder : FoldersOf(key))
                MakeFolder(folder);
        // A key is created with every key above it, as in a registry.
        for (std::size_t end = subKey.find('\\'); end != std::string::npos;
             end = subKey.find('\\', end + 1))
            created_.insert(subKey.substr(0, end));
        created_.insert(subKey);
    });
}

StoreResult FreedesktopClassStore::SetDefaultValue(RootKey, const std::string& subKey,
                                                   const std::string& value) {
    const Key key = Parse(subKey);
    bool provided = false;
    if (auto opened = Outcome(StoreStep::OpenKey,
                              [&] {
                                  if (!created_.count(subKey))
                                      throw RunTimeError(ErrorCode::PathNotFound,
                                                         "Cannot open the key", subKey,
                                                         "it was not created");
                                  provided = ProvidedBySystem(key);
                                  if (!provided)
                                      for (const auto& folder : FoldersOf(key))
                                          if (KindOf(folder) != Found::Folder)
                                              throw RunTimeError(ErrorCode::PathNotFound,
                                                                 "Cannot open the key", folder,
                                                                 "the folder is missing");
                              });
        !opened)
        return opened;
    return Outcome(StoreStep::SetValue, [&] {
        values_[subKey] = value;
        if (provided)
            return;
        switch (key.kind) {
        case Kind::Extension:
            WritePackage(value);
            break;
        case Kind::Class:
            WritePackage(key.className);
            break;
        case Kind::Icon:
            WriteIcons(key.className);
            break;
        case Kind::Command:
            WriteDesktopEntry(key.className, value);
            break;
        case Kind::Other:
            break;
        }
    });
}

void FreedesktopClassStore::WritePackage(const std::string& className) {
    const std::string type = MimeTypeOf(className);
    const std::string path = PackagePath(className);
    const auto before = Read(path);
    // What an earlier start wrote stays until this run says otherwise, so that a
    // package written part way through a run is never poorer than the last one,
    // and a second start finds nothing to change.
    std::string comment, icon;
    Lines globs;
    auto addGlob = [&globs](const std::string& line) {
        if (std::find(globs.begin(), globs.end(), line) == globs.end())
            globs.push_back(line);
    };
    for (const auto& line : Split(before.value_or(""), '\n')) {
        if (line.rfind("    <comment>", 0) == 0)
            comment = line;
        else if (line.rfind("    <icon ", 0) == 0)
            icon = line;
        else if (line.rfind("    <glob ", 0) == 0)
            addGlob(line);
    }
    if (const auto description = values_.find(className); description != values_.end())
        comment = "    <comment>" + Xml(description->second) + "</comment>";
    if (values_.count(className + "\\DefaultIcon"))
        icon = "    <icon name=\"" + Xml(IconNameOf(type)) + "\"/>";
    for (const auto& [subKey, value] : values_)
        if (value == className && Parse(subKey).kind == Kind::Extension)
            addGlob("    <glob pattern=\"*" + Xml(subKey) + "\"/>");

    std::string package =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"" +
        Xml(type) + "\">\n";
    for (const auto& line : {comment, icon})
        if (!line.empty())
            package += line + "\n";
    for (const auto& line : globs)
        package += line + "\n";
    package += "  </mime-type>\n</mime-info>\n";
    Replace(path, package, before);
    packageSet_ = true;
}

void FreedesktopClassStore::WriteIcons(const std::string& className) {
    const std::string name = IconNameOf(MimeTypeOf(className));
    for (const auto& icon : icons_) {
        if (icon.Context != "mimetypes")
            continue;
        const std::string path = IconFolder(icon) + name + icon.Extension;
        Replace(path, std::string(icon.Bytes), Read(path));
    }
    // The package names the icon once the icon is there.
    if (KindOf(PackagePath(className)) != Found::Missing)
        WritePackage(className);
}

void FreedesktopClassStore::WriteDesktopEntry(const std::string& className,
                                              const std::string& command) {
    const auto [program, params, placeholder] = SplitClassCommand(
        command, [this](const std::string& path) { return KindOf(path) == Found::File; });
    const std::string name = FileNameOf(program);
    const std::string type = MimeTypeOf(className);
    for (const auto& icon : icons_) {
        if (icon.Context != "apps")
            continue;
        const std::string path = IconFolder(icon) + name + icon.Extension;
        Replace(path, std::string(icon.Bytes), Read(path));
    }
    // The verb is the entry's own command: a desktop action receives no file.
    const std::string entry =
        "[Desktop Entry]\nType=Application\n" + std::string(EntryDescription) +
        "Exec=" + DesktopExec(program, params) + "\nIcon=" + name + "\nMimeType=" + type +
        ";\nTerminal=false\nCategories=Utility;Archiving;\n";
    const std::string entryPath = folders_.DataHome + "applications/" + name + ".desktop";
    Replace(entryPath, entry, Read(entryPath));
    entries_.insert(entryPath);
    WriteDefaultApplication(type, name + ".desktop");
}

void FreedesktopClassStore::WriteDefaultApplication(const std::string& type,
                                                    const std::string& id) {
    // Every other line of the user's list stays as it is.
    const std::string listPath = folders_.ConfigHome + "mimeapps.list";
    const auto before = Read(listPath);
    Lines lines = Split(before.value_or(""), '\n');
    constexpr std::string_view Defaults = "[Default Applications]";
    constexpr std::string_view Added = "[Added Associations]";
    const auto chosen = FindAssociation(lines, Defaults, type);
    const Lines defaults = chosen ? IdsOf(lines[*chosen].substr(type.size() + 1)) : Lines{};
    if (defaults.empty()) {
        SetAssociation(lines, Defaults, type, id);
    } else if (defaults.front() != id) {
        // The user chose another application: it stays the default, and this one
        // is offered beside it.
        const auto offered = FindAssociation(lines, Added, type);
        Lines ids = offered ? IdsOf(lines[*offered].substr(type.size() + 1)) : Lines{};
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) {
            ids.push_back(id);
            std::string value;
            for (const auto& each : ids)
                value += each + ";";
            SetAssociation(lines, Added, type, value);
        }
    }
    std::string updated;
    for (const auto& line : lines)
        updated += line + "\n";
    if (before == updated)
        return;
    MakeFolder(folders_.ConfigHome);
    Replace(listPath, updated, before);
}

void FreedesktopClassStore::UpdateDatabase(const char* tool, const std::string& folder) {
    const int status = calls_.Run({tool, folder});
    if (status == 0)
        return;
    if (status < 0) {
        // A desktop without the tool has no cache of this kind to bring up to date.
        if (errno == ENOENT)
            return;
        Fail(errno, "Cannot update", folder);
    }
    throw RunTimeError(ErrorCode::PathFileAccess, "Cannot update", folder,
                       std::string(tool) + " ended with status " + std::to_string(status));
}

StoreResult FreedesktopClassStore::Publish() {
    // A cache older than what it is built from is built again, so that one this
    // run failed to build is built at the next start.
    const auto outdated = [this](const std::string& cache, const std::string& source) {
        const auto built = ModifiedAt(cache);
        const auto changed = ModifiedAt(source);
        return !built || (changed && Older(*built, *changed));
    };
    const StoreResult mime = Outcome(StoreStep::Publish, [&] {
        const std::string mime = folders_.DataHome + "mime";
        if (packageSet_ && outdated(mime + "/mime.cache", mime + "/packages"))
            UpdateDatabase("update-mime-database", mime);
    });
    const StoreResult desktop = Outcome(StoreStep::Publish, [&] {
        const std::string applications = folders_.DataHome + "applications";
        for (const auto& entry : entries_)
            if (outdated(applications + "/mimeinfo.cache", entry)) {
                UpdateDatabase("update-desktop-database", applications);
                break;
            }
    });
    return mime ? desktop : mime;
}

void FreedesktopClassStore::Remove(const std::string& path) {
    if (calls_.Unlink(path.c_str()) != 0 && !IsMissing(errno))
        Fail(errno, "Cannot remove", path);
}

bool FreedesktopClassStore::SameFile(const std::string& a, const std::string& b) {
    struct stat first, second;
    if (a.empty() || b.empty() || calls_.Stat(a.c_str(), &first) != 0 ||
        calls_.Stat(b.c_str(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

RemovalResult FreedesktopClassStore::RemoveClass(const std::string&, const std::string& className,
                                                 const std::string&, const std::string& program) {
    bool removed = false;
    const StoreResult result = Outcome(StoreStep::Remove, [&] {
        const std::string name = FileNameOf(program);
        const std::string id = name + ".desktop";
        const std::string entryPath = folders_.DataHome + "applications/" + id;
        const std::string type = MimeTypeOf(className);
        const std::string entry = Read(entryPath).value_or("");
        const Lines types = IdsOf(EntryValue(entry, "MimeType"));
        if (std::find(types.begin(), types.end(), type) == types.end() ||
            !SameFile(ResolveProgram(ExecProgram(EntryValue(entry, "Exec"))), program))
            return;
        removed = true;
        Remove(entryPath);
        Remove(PackagePath(className));
        for (const auto& icon : icons_)
            Remove(IconFolder(icon) + (icon.Context == "mimetypes" ? IconNameOf(type) : name) +
                   icon.Extension);
        // The entry leaves the type's lines; a line left with no entry goes.
        const std::string listPath = folders_.ConfigHome + "mimeapps.list";
        if (const auto before = Read(listPath)) {
            std::string updated;
            for (const auto& line : Split(*before, '\n')) {
                if (line.rfind(type + "=", 0) != 0) {
                    updated += line + "\n";
                    continue;
                }
                std::string ids;
                for (const auto& each : IdsOf(line.substr(type.size() + 1)))
                    if (each != id)
                        ids += each + ";";
                if (!ids.empty())
                    updated += type + "=" + ids + "\n";
            }
            if (updated != *before)
                Replace(listPath, updated, before);
        }
        for (const auto& [tool, folder] :
             {std::pair{"update-mime-database", folders_.DataHome + "mime"},
              std::pair{"update-desktop-database", folders_.DataHome + "applications"}})
            if (KindOf(folder) == Found::Folder)
                UpdateDatabase(tool, folder);
    });
    return {result, removed ? Removal::Removed : Removal::NothingToRemove};
}

} // namespace tren::platform
