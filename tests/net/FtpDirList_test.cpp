#include <gtest/gtest.h>

#include "net/FtpDirList.h"

using vk::net::parseListLine;

TEST(FtpDirList, UnixAndDosLinesGiveNameSizeKindAndDate) {
    struct Case {
        const char* line;
        const char* name;
        std::int64_t size;
        bool directory;
        double modified;
    };
    // Day serials: 39818 = 2009-01-05, 45000 = 2023-03-15, 36525 = 1999-12-31.
    const Case cases[] = {
        {"-rw-r--r--   1 owner group      1234 Jan 05  2009 sample.exe", "sample.exe", 1234, false, 39818},
        {"drwxr-xr-x   2 owner group      4096 Mar 15 10:30 incoming", "incoming", 4096, true, 45000 + 10.5 / 24},
        {"-rw-r--r--   1 1000  1000         12 Dec 31  1999 a name  with spaces.txt", "a name  with spaces.txt", 12,
         false, 36525},
        {"lrwxrwxrwx   1 owner group         7 Jan 05  2009 link -> target", "link", 7, false, 39818},
        {"01-05-09  10:15AM                 1234 sample.exe\r", "sample.exe", 1234, false, 39818 + 10.25 / 24},
        {"03-15-23  12:00PM       <DIR>          incoming", "incoming", 0, true, 45000.5},
        {"03-15-23  12:00AM                    0 empty.txt", "empty.txt", 0, false, 45000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        auto item = parseListLine(c.line, 2023);
        ASSERT_TRUE(item);
        EXPECT_EQ(item->name, c.name);
        EXPECT_EQ(item->size, c.size);
        EXPECT_EQ(item->isDirectory, c.directory);
        EXPECT_NEAR(item->modified, c.modified, 1e-6);
    }
}

TEST(FtpDirList, OtherLinesAreNotEntries) {
    for (const char* line : {"", "total 12", "-rw-r--r-- 1 o g x Jan 05 2009 bad-size", "-rw-r--r-- 1 o g 1 Foo 05 2009 x",
                             "-rw-r--r-- 1 o g 1 Jan 05 2009", "13-40-09  10:15AM  12 bad-date", "garbage line here"}) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(parseListLine(line, 2023));
    }
}
