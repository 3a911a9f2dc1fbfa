// What a text/uri-list dropped on the window names: local files only, with their
// bytes as the URI encodes them. A drag source's own drops, a name that is not
// UTF-8 and an address among them, are window_input_test.sh's.
#include "qt/QtForm.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <string>
#include <vector>

TEST(LocalFilesOf, NamesTheLocalFilesOnly) {
    const std::pair<const char*, std::vector<std::string>> uriLists[] = {
        {"file:///tmp/a.bin", {"/tmp/a.bin"}}, // without the last line's end
        {"file://localhost/tmp/a.bin\r\n", {"/tmp/a.bin"}},
        {"file:///tmp/a%20b.bin\r\n", {"/tmp/a b.bin"}},
        {"file:///tmp/caf%C3%A9.bin\r\n", {"/tmp/caf\xc3\xa9.bin"}},
        {"# dragged\r\nfile:///a\r\nfile:///b\r\n", {"/a", "/b"}},
        {"file:///a\r\nhttp://example.org/b\r\n", {}},
        {"file://elsewhere/a.bin\r\n", {}},
        {"file:///tmp/a%00b\r\n", {}},
        {"", {}},
    };
    for (const auto& [uriList, paths] : uriLists)
        EXPECT_EQ(tren::qt::LocalFilesOf(QByteArray(uriList)), paths) << uriList;
}
