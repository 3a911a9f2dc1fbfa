#include "shell/MFileAssociations.h"

#include "platform/Paths.h"
#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace tren::MFileAssociations {
namespace {

// A path of the table written with this system's separator.
std::string Native(std::string path) {
    std::replace(path.begin(), path.end(), '/', platform::PathSeparator);
    return path;
}

// Directory entries by the path that names them, as a system with short names
// would answer; "!" marks an entry whose lookup fails.
class TableLookup final : public platform::EntryLookup {
  public:
    std::string LookUpEntry(const std::string& path, int attributes) override {
        EXPECT_EQ(attributes, 54); // folders and hidden entries too
        std::string key = path;
        std::replace(key.begin(), key.end(), platform::PathSeparator, '/');
        const auto entry = entries.find(key);
        if (entry == entries.end())
            return {};
        if (entry->second == "!")
            throw RunTimeError(ErrorCode::PathFileAccess, "Cannot look up", path);
        return entry->second;
    }
    std::map<std::string, std::string> entries{
        {"/PROGRA~1", "Program Files"},
        {"/PROGRA~1/PIECES", "Pieces"},
        {"/PROGRA~1/PIECES/REPORT~1.TR0", "Report 2000.tr0"},
        {"/LOCKED~1", "!"},
        {"/LOCKED~1/a.tr0", "a.tr0"},
        {"/BROKEN.TR0", "!"},
        {"/empty", ""},
        {"/empty/x", "x"},
        {"MYFILE~1.TR0", "My File.tr0"},
        {"SUB~1", "Sub Folder"},
        {"SUB~1/X.TR0", "x.tr0"},
    };
};

struct LongPathCase {
    const char* name;
    const char* path;
    const char* longPath;
    friend void PrintTo(const LongPathCase& c, std::ostream* os) { *os << c.name; }
};

class GetLongPathTest : public testing::TestWithParam<LongPathCase> {};

TEST_P(GetLongPathTest, GivesEachComponentItsStoredName) {
    TableLookup lookup;
    EXPECT_EQ(GetLongPath(Native(GetParam().path), lookup), Native(GetParam().longPath));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, GetLongPathTest,
    testing::Values(
        LongPathCase{"empty", "", ""},
        LongPathCase{"short_names", "/PROGRA~1/PIECES/REPORT~1.TR0",
                     "/Program Files/Pieces/Report 2000.tr0"},
        LongPathCase{"trailing_separator_stays", "/PROGRA~1/PIECES/", "/Program Files/Pieces/"},
        LongPathCase{"missing_last_component_is_unchanged", "/PROGRA~1/missing.tr0",
                     "/PROGRA~1/missing.tr0"},
        LongPathCase{"bare_name", "MYFILE~1.TR0", "My File.tr0"},
        LongPathCase{"missing_bare_name_is_empty", "nothing.tr0", ""},
        LongPathCase{"relative_path_keeps_its_first_component", "SUB~1/X.TR0", "SUB~1/x.tr0"},
        // A parent that cannot be looked up keeps the name it was given.
        LongPathCase{"failing_parent_keeps_its_name", "/LOCKED~1/a.tr0", "/LOCKED~1/a.tr0"},
        LongPathCase{"failing_last_component_gives_empty", "/BROKEN.TR0", ""},
        LongPathCase{"empty_stored_name_of_a_parent", "/empty/x", "/empty/x"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tren::MFileAssociations
