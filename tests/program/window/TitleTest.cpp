// The window title: the document name and the image's size, never longer
// than its buffer, the name shortened in the middle when it must be.

#include "view/tavrinview.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

bool valid_utf8(const std::string& s)
{
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = s[i];
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (size_t k = 1; k < n; k++) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80)
                return false;
        }
        i += n;
    }
    return true;
}

struct TitleCase
{
    std::string name;
    int width, height;
    std::string expected; // empty: only the properties are checked
};

TEST(ComposeTitle, ShortNamesStandWholeLongOnesAreShortenedInTheMiddle)
{
    std::string longName = "a-very-long-holiday-photo-from-the-mountains-in-the-early-morning.png";
    std::string japanese;
    for (int i = 0; i < 40; i++)
        japanese += "\xe6\xa7\x98"; // a three-byte character, forty times
    japanese += ".jpeg";

    const TitleCase cases[] = {
        {"sky.png", 640, 480, "sky.png[640x480]"},
        {"no title", 300, 200, "no title[300x200]"},
        {"tavrin ver.0.00", 1024, 768, "tavrin ver.0.00[1024x768]"},
        {longName, 640, 480, ""},
        {japanese, 12345, 67890, ""},
        {std::string(255, 'x'), 1, 1, ""},
    };
    for (const TitleCase& c : cases) {
        char out[kTitleSize];
        memset(out, 0x55, sizeof(out));
        compose_title(out, sizeof(out), c.name.c_str(), c.width, c.height);
        std::string title(out);
        ASSERT_LT(title.size(), kTitleSize) << c.name;
        std::string size = "[" + std::to_string(c.width) + "x" + std::to_string(c.height) + "]";
        EXPECT_EQ(title.substr(title.size() - size.size()), size) << title;
        EXPECT_TRUE(valid_utf8(title)) << title;
        if (!c.expected.empty()) {
            EXPECT_EQ(title, c.expected);
            continue;
        }
        // Shortened: the ellipsis stands in the middle, the start and the
        // extension are kept.
        EXPECT_NE(title.find("\xe2\x80\xa6"), std::string::npos) << title;
        EXPECT_EQ(title.compare(0, 3, c.name, 0, 3), 0) << title;
        size_t dot = c.name.rfind('.');
        if (dot != std::string::npos) {
            std::string extension = c.name.substr(dot);
            std::string beforeSize = title.substr(0, title.size() - size.size());
            EXPECT_EQ(beforeSize.substr(beforeSize.size() - extension.size()), extension) << title;
        }
    }
}

TEST(ComposeTitle, ATinyBufferNeverOverflows)
{
    for (size_t size = 1; size < 24; size++) {
        std::string buffer(size + 8, '#');
        compose_title(buffer.data(), size, "holiday.png", 640, 480);
        EXPECT_LT(strlen(buffer.c_str()), size);
        EXPECT_EQ(buffer.substr(size), std::string(8, '#')) << "wrote past the buffer";
    }
}

} // namespace
