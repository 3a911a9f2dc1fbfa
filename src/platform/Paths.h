#pragma once

#include <string>
#include <string_view>

// Path spelling is the one thing about files that differs by platform even in
// code that never touches a file, so it lives here and nowhere else.
namespace tren::platform {

#ifdef _WIN32
inline constexpr char PathSeparator = '\\';
inline constexpr std::string_view Separators = "\\/";
inline bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}
#else
inline constexpr char PathSeparator = '/';
inline constexpr std::string_view Separators = "/";
inline bool IsSeparator(char c) {
    return c == '/';
}
#endif

inline bool EndsWithSeparator(std::string_view path) {
    return !path.empty() && IsSeparator(path.back());
}

inline std::string WithTrailingSeparator(std::string path) {
    if (!EndsWithSeparator(path))
        path += PathSeparator;
    return path;
}

// "/a/b/report.doc" gives "report.doc"; a path without folder is its own name.
inline std::string FileNameOf(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1]))
            return std::string(path.substr(i));
    return std::string(path);
}

// "/a/b/report.doc" gives "/a/b/", ending with the separator; "report.doc" gives "".
inline std::string FolderOf(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1]))
            return std::string(path.substr(0, i));
    return {};
}

} // namespace tren::platform
