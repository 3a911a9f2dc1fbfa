// What a text/uri-list dropped on the window names: local files only, with
// their bytes as the URI encodes them.
#include "qt/QtForm.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <string>
#include <vector>

namespace {

struct UriListCase {
    const char* name;
    const char* uriList;
    std::vector<std::string> paths;
};

class LocalFilesOfTest : public testing::TestWithParam<UriListCase> {};

TEST_P(LocalFilesOfTest, NamesTheLocalFiles) {
    EXPECT_EQ(tren::qt::LocalFilesOf(QByteArray(GetParam().uriList)), GetParam().paths);
}

const UriListCase uriLists[] = {
    {"one_file", "file:///tmp/a.bin\r\n", {"/tmp/a.bin"}},
    {"without_the_last_line_end", "file:///tmp/a.bin", {"/tmp/a.bin"}},
    {"on_localhost", "file://localhost/tmp/a.bin\r\n", {"/tmp/a.bin"}},
    {"a_blank_encoded", "file:///tmp/a%20b.bin\r\n", {"/tmp/a b.bin"}},
    {"a_name_in_utf8", "file:///tmp/caf%C3%A9.bin\r\n", {"/tmp/caf\xc3\xa9.bin"}},
    {"a_name_that_is_not_utf8", "file:///tmp/caf%E9.bin\r\n", {"/tmp/caf\xe9.bin"}},
    {"a_comment_and_two_files", "# dragged\r\nfile:///a\r\nfile:///b\r\n", {"/a", "/b"}},
    {"an_address", "http://example.org/a.bin\r\n", {}},
    {"a_file_and_an_address", "file:///a\r\nhttp://example.org/b\r\n", {}},
    {"a_file_on_another_host", "file://elsewhere/a.bin\r\n", {}},
    {"a_nul_in_the_name", "file:///tmp/a%00b\r\n", {}},
    {"nothing", "", {}},
};

INSTANTIATE_TEST_SUITE_P(UriLists, LocalFilesOfTest, testing::ValuesIn(uriLists),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
