#include "platform/linux/FreedesktopClassStore.h"

#include "platform/ClassCommand.h"

#include "platform/Paths.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tren::platform {

namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

// What the user-level desktop entry says besides its program, type and icon.
constexpr std::string_view EntryDescription = "Name=tren\n"
                                              "GenericName=File Splitter\n"
                                              "Comment=Cut a file into pieces that fit on "
                                              "removable media, and build it again\n"
                                              "Keywords=split;join;pieces;floppy;tr0;\n";

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

bool IsFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

bool MakeFolder(const std::string& path) {
    std::error_code error;
    fs::create_directories(path, error);
    return IsFolder(path);
}

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

std::optional<std::string> ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

// A program of the desktop's, run to its end with its output dropped; a missing
// one is no failure: the caches are then built by the desktop's next login.
void RunQuietly(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
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

// The program file a desktop entry's program names: as it stands with a folder,
// otherwise the first of that name on the search path.
std::string ResolveProgram(const std::string& program, const std::string& searchPath) {
    if (program.empty() || program.find('/') != std::string::npos)
        return program;
    for (const auto& folder : Split(searchPath, ':')) {
        const std::string candidate =
            WithTrailingSeparator(folder.empty() ? "." : folder) + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return !a.empty() && !b.empty() && fs::equivalent(a, b, error);
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
                                             std::vector<ThemeIcon> icons)
    : folders_(std::move(folders)), program_(std::move(program)), icons_(std::move(icons)) {
    folders_.DataHome = WithTrailingSeparator(folders_.DataHome);
    folders_.ConfigHome = WithTrailingSeparator(folders_.ConfigHome);
}

FreedesktopClassStore FreedesktopClassStore::FromEnvironment(const std::string& home,
                                                             std::vector<ThemeIcon> icons) {
    std::error_code error;
    std::string program = fs::read_symlink("/proc/self/exe", error).string();
    return FreedesktopClassStore(DesktopFolders::FromEnvironment(home), std::move(program),
                                 std::move(icons));
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

std::string FreedesktopClassStore::IconFolder(const ThemeIcon& icon, const char* context) const {
    return folders_.DataHome + "icons/hicolor/" + icon.Size + "/" + context + "/";
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
            folders.push_back(IconFolder(icon, "mimetypes"));
        break;
    case Kind::Command:
        // The entry shows the program's own icon.
        folders.push_back(folders_.DataHome + "applications");
        for (const auto& icon : icons_)
            folders.push_back(IconFolder(icon, "apps"));
        break;
    case Kind::Other:
        break;
    }
    return folders;
}

bool FreedesktopClassStore::ProvidedBySystem(const Key& key) {
    if (!system_) {
        system_.emplace();
        std::set<std::string> listed;
        for (const auto& folder : folders_.DataDirs) {
            std::error_code error;
            for (fs::directory_iterator it(WithTrailingSeparator(folder) + "applications", error),
                 end;
                 !error && it != end; it.increment(error)) {
                if (it->path().extension() != ".desktop")
                    continue;
                const std::string entry = ReadWhole(it->path().string()).value_or("");
                const std::string program =
                    ResolveProgram(ExecProgram(EntryValue(entry, "Exec")), folders_.SearchPath);
                if (SameFile(program, program_))
                    for (const auto& type : IdsOf(EntryValue(entry, "MimeType")))
                        listed.insert(type);
            }
            // The system's MIME database, as its triggers last built it:
            // "weight:type:glob" lines.
            for (const auto& line : Split(
                     ReadWhole(WithTrailingSeparator(folder) + "mime/globs2").value_or(""), '\n')) {
                const auto fields = Split(line, ':');
                if (fields.size() >= 3 && line.front() != '#' && listed.count(fields[1])) {
                    system_->types.insert(fields[1]);
                    system_->globs.emplace(fields[2], fields[1]);
                }
            }
        }
    }
    switch (key.kind) {
    case Kind::Extension:
        return system_->globs.count("*" + Lower(key.className)) > 0;
    case Kind::Class:
    case Kind::Icon:
    case Kind::Command:
        return system_->types.count(MimeTypeOf(key.className)) > 0;
    case Kind::Other:
        break;
    }
    return false;
}

bool FreedesktopClassStore::CreateKey(RootKey, const std::string& subKey) {
    // A failure of any kind is this step's failure, reported by the caller.
    try {
        return Create(subKey);
    } catch (const std::exception&) {
        return false;
    }
}

SetOutcome FreedesktopClassStore::SetDefaultValue(RootKey, const std::string& subKey,
                                                  const std::string& value) {
    try {
        return Set(subKey, value);
    } catch (const std::exception&) {
        return SetOutcome::CannotSet;
    }
}

bool FreedesktopClassStore::Create(const std::string& subKey) {
    const Key key = Parse(subKey);
    if (!ProvidedBySystem(key)) {
        bool made = true;
        for (const auto& folder : FoldersOf(key))
            made = MakeFolder(folder) && made;
        if (!made)
            return false;
    }
    // A key is created with every key above it, as in a registry.
    for (std::size_t end = subKey.find('\\'); end != std::string::npos;
         end = subKey.find('\\', end + 1))
        created_.insert(subKey.substr(0, end));
    created_.insert(subKey);
    return true;
}

SetOutcome FreedesktopClassStore::Set(const std::string& subKey, const std::string& value) {
    if (!created_.count(subKey))
        return SetOutcome::CannotOpen;
    const Key key = Parse(subKey);
    values_[subKey] = value;
    if (ProvidedBySystem(key))
        return SetOutcome::Done;
    const auto folders = FoldersOf(key);
    if (!std::all_of(folders.begin(), folders.end(), IsFolder))
        return SetOutcome::CannotOpen;

    bool written = true;
    switch (key.kind) {
    case Kind::Extension:
        written = WritePackage(value);
        break;
    case Kind::Class:
        written = WritePackage(key.className);
        break;
    case Kind::Icon:
        written = WriteIcons(key.className);
        break;
    case Kind::Command:
        written = WriteDesktopEntry(key.className, value);
        break;
    case Kind::Other:
        break;
    }
    return written ? SetOutcome::Done : SetOutcome::CannotSet;
}

bool FreedesktopClassStore::WriteIfChanged(const std::string& path, const std::string& contents) {
    if (ReadWhole(path) == contents)
        return true;
    // Written beside and renamed, so that the desktop never reads half a file.
    const std::string temporary = path + ".tren-new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << contents;
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

bool FreedesktopClassStore::WritePackage(const std::string& className) {
    const std::string type = MimeTypeOf(className);
    const std::string path = PackagePath(className);
    const auto before = ReadWhole(path);
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
    if (!WriteIfChanged(path, package))
        return false;
    mimeChanged_ = mimeChanged_ || before != package;
    return true;
}

bool FreedesktopClassStore::WriteIcons(const std::string& className) {
    const std::string name = IconNameOf(MimeTypeOf(className));
    for (const auto& icon : icons_)
        if (!WriteIfChanged(IconFolder(icon, "mimetypes") + name + icon.Extension,
                            std::string(icon.Bytes)))
            return false;
    // The package names the icon once the icon is there.
    if (Exists(PackagePath(className)))
        return WritePackage(className);
    return true;
}

bool FreedesktopClassStore::WriteDesktopEntry(const std::string& className,
                                              const std::string& command) {
    const auto [program, params, placeholder] =
        SplitClassCommand(command, [](const std::string& path) {
            std::error_code error;
            return fs::is_regular_file(path, error);
        });
    const std::string name = FileNameOf(program);
    const std::string type = MimeTypeOf(className);
    for (const auto& icon : icons_)
        if (!WriteIfChanged(IconFolder(icon, "apps") + name + icon.Extension,
                            std::string(icon.Bytes)))
            return false;
    // The verb is the entry's own command: a desktop action receives no file.
    const std::string entry =
        "[Desktop Entry]\nType=Application\n" + std::string(EntryDescription) +
        "Exec=" + DesktopExec(program, params) + "\nIcon=" + name + "\nMimeType=" + type +
        ";\nTerminal=false\nCategories=Utility;Archiving;\n";
    const std::string entryPath = folders_.DataHome + "applications/" + name + ".desktop";
    const auto before = ReadWhole(entryPath);
    if (!WriteIfChanged(entryPath, entry))
        return false;
    desktopChanged_ = desktopChanged_ || before != entry;
    return WriteDefaultApplication(type, name + ".desktop");
}

bool FreedesktopClassStore::WriteDefaultApplication(const std::string& type,
                                                    const std::string& id) {
    // Every other line of the user's list stays as it is.
    const std::string listPath = folders_.ConfigHome + "mimeapps.list";
    Lines lines = Split(ReadWhole(listPath).value_or(""), '\n');
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
    if (ReadWhole(listPath) == updated)
        return true;
    return MakeFolder(folders_.ConfigHome) && WriteIfChanged(listPath, updated);
}

void FreedesktopClassStore::Publish() {
    // Nothing is reported from here; a tool that fails leaves the caches to the
    // desktop.
    try {
        const std::string& data = folders_.DataHome;
        if (IsFolder(data + "mime/packages") && (mimeChanged_ || !Exists(data + "mime/mime.cache")))
            RunQuietly({"update-mime-database", data + "mime"});
        if (IsFolder(data + "applications") &&
            (desktopChanged_ || !Exists(data + "applications/mimeinfo.cache")))
            RunQuietly({"update-desktop-database", data + "applications"});
    } catch (const std::exception&) {
    }
    mimeChanged_ = desktopChanged_ = false;
}

} // namespace tren::platform
