#include "shell/MFileAssociations.h"

#include "platform/Paths.h"
#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace tren::MFileAssociations {
namespace {

// A path of the table written with this system's separator, or back.
std::string Native(std::string path, char from = '/', char to = platform::PathSeparator) {
    std::replace(path.begin(), path.end(), from, to);
    return path;
}

// Entries by the path that names them, as a system with short names answers; "!": lookup fails.
class TableLookup final : public platform::EntryLookup {
  public:
    std::string LookUpEntry(const std::string& path, int attributes) override {
        EXPECT_EQ(attributes, 54); // folders and hidden entries too
        const auto entry = entries.find(Native(path, platform::PathSeparator, '/'));
        if (entry != entries.end() && entry->second == "!")
            throw RunTimeError(ErrorCode::PathFileAccess, "Cannot look up", path);
        return entry == entries.end() ? "" : entry->second;
    }
    std::map<std::string, std::string> entries{{"/PROGRA~1", "Program Files"},
                                               {"/PROGRA~1/PIECES", "Pieces"},
                                               {"/PROGRA~1/PIECES/REPORT~1.TR0", "Report 2000.tr0"},
                                               {"/LOCKED~1", "!"},
                                               {"/LOCKED~1/a.tr0", "a.tr0"},
                                               {"/BROKEN.TR0", "!"},
                                               {"/empty", ""},
                                               {"/empty/x", "x"},
                                               {"MYFILE~1.TR0", "My File.tr0"},
                                               {"SUB~1", "Sub Folder"},
                                               {"SUB~1/X.TR0", "x.tr0"}};
};

TEST(GetLongPath, GivesEachComponentItsStoredName) {
    const std::pair<const char*, const char*> table[] = {
        {"", ""},
        {"/PROGRA~1/PIECES/REPORT~1.TR0", "/Program Files/Pieces/Report 2000.tr0"},
        {"/PROGRA~1/PIECES/", "/Program Files/Pieces/"},    // the trailing separator stays
        {"/PROGRA~1/missing.tr0", "/PROGRA~1/missing.tr0"}, // a missing last one: unchanged
        {"MYFILE~1.TR0", "My File.tr0"},
        {"nothing.tr0", ""},                    // a missing bare name: empty
        {"SUB~1/X.TR0", "SUB~1/x.tr0"},         // a relative path keeps its first component
        {"/LOCKED~1/a.tr0", "/LOCKED~1/a.tr0"}, // a parent that fails keeps its name
        {"/BROKEN.TR0", ""},                    // a last component that fails: empty
        {"/empty/x", "/empty/x"},               // a parent stored with no name
    };
    TableLookup lookup;
    for (const auto& [path, longPath] : table)
        EXPECT_EQ(GetLongPath(Native(path), lookup), Native(longPath)) << path;
}

} // namespace
} // namespace tren::MFileAssociations
