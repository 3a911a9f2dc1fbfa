#include "platform/linux/FreedesktopClassStore.h"

#include "platform/Paths.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tren::platform {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> SplitKey(const std::string& subKey) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(subKey);
    while (std::getline(in, part, '\\'))
        parts.push_back(part);
    return parts;
}

bool SameText(std::string a, std::string b) {
    auto lower = [](std::string& s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    };
    lower(a);
    lower(b);
    return a == b;
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

// Splits "PROGRAM PARAMS %1" at the longest prefix that names a file, since the
// program path itself may hold blanks.
std::pair<std::string, std::string> SplitCommand(std::string command) {
    constexpr std::string_view Placeholder = " %1";
    if (command.size() >= Placeholder.size() &&
        command.compare(command.size() - Placeholder.size(), Placeholder.size(), Placeholder) == 0)
        command.resize(command.size() - Placeholder.size());
    std::error_code error;
    for (std::size_t end = command.size(); end != std::string::npos && end > 0;
         end = command.rfind(' ', end - 1)) {
        const std::string program = command.substr(0, end);
        if (fs::is_regular_file(program, error)) {
            const auto rest = command.find_first_not_of(' ', end);
            return {program, rest == std::string::npos ? "" : command.substr(rest)};
        }
        if (end == 0)
            break;
    }
    return {command, ""};
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

FreedesktopClassStore::FreedesktopClassStore(std::string dataHome, std::string configHome,
                                             std::vector<ThemeIcon> icons)
    : dataHome_(WithTrailingSeparator(std::move(dataHome))),
      configHome_(WithTrailingSeparator(std::move(configHome))), icons_(std::move(icons)) {}

FreedesktopClassStore FreedesktopClassStore::FromEnvironment(const std::string& home,
                                                             std::vector<ThemeIcon> icons) {
    return FreedesktopClassStore(XdgFolder("XDG_DATA_HOME", home, ".local/share"),
                                 XdgFolder("XDG_CONFIG_HOME", home, ".config"), std::move(icons));
}

std::string FreedesktopClassStore::MimeTypeOf(const std::string& className) {
    std::string type = "application/x-";
    for (char c : className)
        type += c == '.' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return type;
}

namespace {

std::string IconNameOf(const std::string& mimeType) {
    std::string name = mimeType;
    std::replace(name.begin(), name.end(), '/', '-');
    return name;
}

} // namespace

FreedesktopClassStore::Key FreedesktopClassStore::Parse(const std::string& subKey) {
    const auto parts = SplitKey(subKey);
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
    return dataHome_ + "mime/packages/" + type.substr(type.find('/') + 1) + ".xml";
}

std::string FreedesktopClassStore::IconFolder(const ThemeIcon& icon) const {
    return dataHome_ + "icons/hicolor/" + icon.Size + "/mimetypes/";
}

std::vector<std::string> FreedesktopClassStore::FoldersOf(const Key& key) const {
    switch (key.kind) {
    case Kind::Extension:
    case Kind::Class:
        return {dataHome_ + "mime/packages"};
    case Kind::Icon: {
        std::vector<std::string> folders;
        for (const auto& icon : icons_)
            folders.push_back(IconFolder(icon));
        return folders;
    }
    case Kind::Command:
        return {dataHome_ + "applications"};
    case Kind::Other:
        break;
    }
    return {};
}

bool FreedesktopClassStore::CreateKey(RootKey, const std::string& subKey) {
    bool made = true;
    for (const auto& folder : FoldersOf(Parse(subKey)))
        made = MakeFolder(folder) && made;
    if (!made)
        return false;
    // A key is created with every key above it, as in a registry.
    for (std::size_t end = subKey.find('\\'); end != std::string::npos;
         end = subKey.find('\\', end + 1))
        created_.insert(subKey.substr(0, end));
    created_.insert(subKey);
    return true;
}

SetOutcome FreedesktopClassStore::SetDefaultValue(RootKey, const std::string& subKey,
                                                  const std::string& value) {
    if (!created_.count(subKey))
        return SetOutcome::CannotOpen;
    const Key key = Parse(subKey);
    const auto folders = FoldersOf(key);
    const bool there = std::all_of(folders.begin(), folders.end(), IsFolder);
    if (!there)
        return SetOutcome::CannotOpen;

    values_[subKey] = value;
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
        written = WriteDesktopEntry(key.className, key.verb, value);
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
    std::string package =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"" +
        Xml(type) + "\">\n";
    if (const auto description = values_.find(className); description != values_.end())
        package += "    <comment>" + Xml(description->second) + "</comment>\n";
    if (values_.count(className + "\\DefaultIcon"))
        package += "    <icon name=\"" + Xml(IconNameOf(type)) + "\"/>\n";
    for (const auto& [subKey, value] : values_)
        if (value == className && Parse(subKey).kind == Kind::Extension)
            package += "    <glob pattern=\"*" + Xml(subKey) + "\"/>\n";
    package += "  </mime-type>\n</mime-info>\n";
    const std::string path = PackagePath(className);
    const auto before = ReadWhole(path);
    if (!WriteIfChanged(path, package))
        return false;
    mimeChanged_ = mimeChanged_ || before != package;
    return true;
}

bool FreedesktopClassStore::WriteIcons(const std::string& className) {
    const std::string name = IconNameOf(MimeTypeOf(className));
    for (const auto& icon : icons_)
        if (!WriteIfChanged(IconFolder(icon) + name + icon.Extension, std::string(icon.Bytes)))
            return false;
    // The package names the icon once the icon is there.
    if (fs::exists(PackagePath(className)))
        return WritePackage(className);
    return true;
}

bool FreedesktopClassStore::WriteDesktopEntry(const std::string& className, const std::string& verb,
                                              const std::string& command) {
    const auto [program, params] = SplitCommand(command);
    const std::string id = FileNameOf(program) + ".desktop";
    const std::string type = MimeTypeOf(className);
    const std::string exec = DesktopExec(program, params);
    const std::string entry = "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=" +
                              FileNameOf(program) +
                              "\n"
                              "Exec=" +
                              exec +
                              "\n"
                              "Icon=" +
                              IconNameOf(type) +
                              "\n"
                              "MimeType=" +
                              type +
                              ";\n"
                              "Terminal=false\n"
                              "Categories=Utility;\n"
                              "Actions=" +
                              verb +
                              ";\n"
                              "\n"
                              "[Desktop Action " +
                              verb +
                              "]\n"
                              "Name=" +
                              verb +
                              "\n"
                              "Exec=" +
                              exec + "\n";
    const std::string entryPath = dataHome_ + "applications/" + id;
    const auto before = ReadWhole(entryPath);
    if (!WriteIfChanged(entryPath, entry))
        return false;
    desktopChanged_ = desktopChanged_ || before != entry;

    // The type's default application; every other line of the user's list stays.
    const std::string listPath = configHome_ + "mimeapps.list";
    std::string list = ReadWhole(listPath).value_or("");
    const std::string line = type + "=" + id;
    std::vector<std::string> lines;
    {
        std::istringstream in(list);
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
    }
    bool inGroup = false, done = false;
    std::size_t groupEnd = std::string::npos;
    for (std::size_t i = 0; i < lines.size() && !done; ++i) {
        if (!lines[i].empty() && lines[i].front() == '[') {
            if (inGroup)
                break;
            inGroup = lines[i] == "[Default Applications]";
            if (inGroup)
                groupEnd = i + 1;
            continue;
        }
        if (!inGroup)
            continue;
        if (lines[i].rfind(type + "=", 0) == 0) {
            lines[i] = line;
            done = true;
        } else if (!lines[i].empty()) {
            groupEnd = i + 1;
        }
    }
    if (!done) {
        if (groupEnd != std::string::npos) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(groupEnd), line);
        } else {
            if (!lines.empty() && !lines.back().empty())
                lines.push_back("");
            lines.push_back("[Default Applications]");
            lines.push_back(line);
        }
    }
    std::string updated;
    for (const auto& l : lines)
        updated += l + "\n";
    return MakeFolder(configHome_) && WriteIfChanged(listPath, updated);
}

void FreedesktopClassStore::Publish() {
    std::error_code error;
    if (IsFolder(dataHome_ + "mime/packages") &&
        (mimeChanged_ || !fs::exists(dataHome_ + "mime/mime.cache", error)))
        RunQuietly({"update-mime-database", dataHome_ + "mime"});
    if (IsFolder(dataHome_ + "applications") &&
        (desktopChanged_ || !fs::exists(dataHome_ + "applications/mimeinfo.cache", error)))
        RunQuietly({"update-desktop-database", dataHome_ + "applications"});
    mimeChanged_ = desktopChanged_ = false;
}

} // namespace tren::platform
