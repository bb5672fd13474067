// Person files become postcard address faces: seven postal-code boxes, the
// address and the name written down the card, and the honorific after the name.

#include <Font.h>

#include "FileFixture.h"
#include "io/card.h"

#include <QFile>

#include <sys/xattr.h>

#include <utility>
#include <vector>

namespace {

class CardTest : public FileTest
{
protected:
    // Makes a Person file from attribute values (a null value: no attribute).
    bool Person(const char* name, const char* first, const char* last, const char* zip,
                const char* address)
    {
        std::string path = Path(name);
        QFile file(QString::fromStdString(path));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.close();
        const std::pair<const char*, const char*> attributes[] = {{"user.META:firstname", first},
                                                                  {"user.META:lastname", last},
                                                                  {"user.META:zip", zip},
                                                                  {"user.META:address", address}};
        for (auto& [attribute, value] : attributes) {
            if (value && setxattr(path.c_str(), attribute, value, strlen(value), 0) != 0)
                return false;
        }
        return true;
    }

    // Dark pixels in a rectangle of the card (inclusive edges).
    int Ink(int left, int top, int right, int bottom)
    {
        const BBitmap* card = view->image;
        const uint32* bits = static_cast<const uint32*>(card->Bits());
        int32 stride = card->BytesPerRow() / 4;
        int count = 0;
        for (int y = std::max(0, top); y <= std::min(591, bottom); y++) {
            for (int x = std::max(0, left); x <= std::min(399, right); x++)
                count += (bits[y * stride + x] & 0xff) < 128;
        }
        return count;
    }

    // The runs of rows with ink between two columns of the card, top to
    // bottom, as first and last row.
    std::vector<std::pair<int, int>> InkedRows(int left, int right)
    {
        std::vector<std::pair<int, int>> runs;
        for (int y = 0; y < 592; y++) {
            if (Ink(left, y, right, y) == 0)
                continue;
            if (!runs.empty() && runs.back().second == y - 1)
                runs.back().second = y;
            else
                runs.push_back({y, y});
        }
        return runs;
    }

    void Load(const char* name)
    {
        entry_ref ref = Ref(name);
        view->load(ref);
        Settle();
    }

    // The size whose height fits 32 pixels, as the card picks it for the code.
    static font_height ZipHeight()
    {
        BFont font;
        font_height height;
        for (float size = 30; size > 1; size--) {
            font.SetSize(size);
            font.GetHeight(&height);
            if (height.ascent + height.descent <= 32)
                break;
        }
        return height;
    }
};

const int kBoxLeft[7] = {180, 208, 236, 266, 293, 320, 347};
const int kBoxWidth[7] = {28, 28, 28, 27, 27, 27, 27};

TEST_F(CardTest, SevenDigitsFillTheSevenBoxes)
{
    if (!Person("zip-only", nullptr, nullptr, "1234567", nullptr))
        GTEST_SKIP() << "this file system keeps no attributes";
    strcpy(view->title, "earlier.png");
    Load("zip-only");
    ASSERT_NE(view->image, nullptr);
    EXPECT_EQ(view->image->Bounds(), BRect(0, 0, 399, 591));
    // The card keeps the document name it had.
    EXPECT_STREQ(window->Title(), "earlier.png[400x592]");
    EXPECT_EQ(static_cast<uint32*>(view->image->Bits())[0], 0xffffffffu);

    font_height height = ZipHeight();
    int baseline = (int)(height.ascent + 50);
    for (int i = 0; i < 7; i++) {
        EXPECT_GT(Ink(kBoxLeft[i], baseline - (int)height.ascent, kBoxLeft[i] + kBoxWidth[i] - 1,
                      baseline),
                  10)
            << "box " << i;
    }
    // Nothing left of the boxes on that line, and no address column.
    EXPECT_EQ(Ink(0, 40, 175, 90), 0);
    EXPECT_EQ(Ink(300, 120, 340, 591), 0);
}

TEST_F(CardTest, HyphensAndSpacesInTheCodeTakeNoBox)
{
    // Each way of writing a code draws the card of its digits alone.
    struct
    {
        const char* written;
        const char* digits;
    } cases[] = {
        {"100-0001", "1000001"},
        {"100 0001", "1000001"},
        {" 1000001 ", "1000001"},
        {"100\xe2\x80\x90"
         "0001",
         "1000001"},
        // Full-width digits and hyphen, as Japanese address books keep them:
        // 24 bytes, read whole.
        {"\uff11\uff10\uff10\uff0d\uff10\uff10\uff10\uff11", "1000001"},
        // The postal mark before the code takes no box.
        {"\u3012100-0001", "1000001"},
        {"\u3012 100-0001", "1000001"},
        {"\u3012\uff11\uff10\uff10\u30fc\uff10\uff10\uff10\uff11", "1000001"},
    };
    for (auto& c : cases) {
        if (!Person("digits", nullptr, nullptr, c.digits, nullptr) ||
            !Person("written", nullptr, nullptr, c.written, nullptr))
            GTEST_SKIP() << "this file system keeps no attributes";
        Load("digits");
        ASSERT_NE(view->image, nullptr);
        BBitmap digits(view->image);
        Load("written");
        ASSERT_NE(view->image, nullptr);
        EXPECT_EQ(memcmp(view->image->Bits(), digits.Bits(), digits.BitsLength()), 0) << c.written;
        // A seventh digit fills the seventh box.
        if (strlen(c.digits) == 7) {
            EXPECT_GT(Ink(347, 40, 373, 90), 10) << c.written;
        }
    }
}

TEST_F(CardTest, TwoDigitsFillTwoBoxes)
{
    if (!Person("two", nullptr, nullptr, "12", nullptr))
        GTEST_SKIP() << "this file system keeps no attributes";
    Load("two");
    ASSERT_NE(view->image, nullptr);
    EXPECT_GT(Ink(180, 40, 235, 85), 10);
    EXPECT_EQ(Ink(236, 40, 399, 85), 0);
}

TEST_F(CardTest, TheHonorificFollowsTheNameDownTheCard)
{
    if (!Person("zip", nullptr, nullptr, "1234567", nullptr) ||
        !Person("full", "Taro", "Yamada", nullptr, "1-2 Sakura"))
        GTEST_SKIP() << "this file system keeps no attributes";
    BFont font;
    font.SetSize(40);
    font_height height;
    font.GetHeight(&height);
    float line = height.ascent + height.descent;

    // Only a postal code: the name line is two spaces and the honorific, on the third line.
    Load("zip");
    ASSERT_NE(view->image, nullptr);
    int third = (int)(180 + 2 * line);
    EXPECT_GT(Ink(180, third - (int)height.ascent, 220, third), 50);
    EXPECT_EQ(Ink(170, 100, 230, third - (int)height.ascent - 1), 0);

    // With a name: "Yamada Taro 様", each character a line at x 200, and the
    // address in its own column at x 320.
    Load("full");
    ASSERT_NE(view->image, nullptr);
    int honorific = (int)(180 + 12 * line);
    if (honorific < 592) {
        EXPECT_GT(Ink(180, honorific - (int)height.ascent, 220, honorific), 50);
    }
    EXPECT_GT(Ink(185, 180 - (int)height.ascent, 215, 180), 20) << "the Y of Yamada";
    EXPECT_GT(Ink(305, 130, 335, 150), 5) << "the address's first character";
}

TEST_F(CardTest, TheWholeNameFitsAboveTheBottomMargin)
{
    // A line holds its glyph's ascent and descent, so each character but the
    // spaces is one run of inked rows down the name column: all of them drawn,
    // the last one's descenders above the margin of 16 rows.
    struct
    {
        const char* first;
        const char* last;
        int characters;
    } cases[] = {
        {"Ken", "Ono", 7},
        {"Taro", "Yamada", 11},
        {"Rupert", "Featherstonehaugh", 24},
        {"\u592a\u90ce", "\u5c71\u7530", 5},
    };
    for (auto& c : cases) {
        if (!Person("name", c.first, c.last, nullptr, nullptr))
            GTEST_SKIP() << "this file system keeps no attributes";
        Load("name");
        ASSERT_NE(view->image, nullptr);
        std::vector<std::pair<int, int>> runs = InkedRows(170, 230);
        EXPECT_EQ((int)runs.size(), c.characters) << c.last;
        ASSERT_FALSE(runs.empty());
        EXPECT_LE(runs.back().second, 575) << c.last;
    }
}

TEST_F(CardTest, AZeroLengthAttributeCountsAsMissing)
{
    if (!Person("empty", nullptr, nullptr, "", nullptr))
        GTEST_SKIP() << "this file system keeps no attributes";
    Load("empty");
    EXPECT_EQ(view->image, nullptr);
}

TEST_F(CardTest, CharactersAreToldByTheirFirstByte)
{
    struct
    {
        const char* text;
        int length;
        int n;
        const char* character; // null: utf8chr answers -1
    } cases[] = {
        {"", 0, 0, nullptr},
        {"a\xe6\xa7\x98", 2, 1, "\xe6\xa7\x98"},
        {"a\xe6\xa7\x98", 2, 2, nullptr},
        {"\xf0"
         "abc",
         2, 0,
         "\xf0"
         "ab"},
        {"\xf0"
         "abc",
         2, 1, "c"},
        {"\xc3\xa9t\xc3\xa9", 3, 2, "\xc3\xa9"},
        // Cut short by the end of the text: the fragment is one character.
        {"a\xe6", 2, 1, "\xe6"},
        {"a\xe6\xa7", 2, 1, "\xe6\xa7"},
        {"\xc3", 1, 0, "\xc3"},
    };
    for (auto& c : cases) {
        char text[16];
        strcpy(text, c.text);
        EXPECT_EQ(view->utf8len(text), c.length) << c.text;
        char out[8] = "unset";
        int result = view->utf8chr(text, c.n, out);
        if (c.character) {
            EXPECT_EQ(result, 0);
            EXPECT_STREQ(out, c.character);
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_STREQ(out, "unset");
        }
    }
}

// The card is drawn by a plain function: the same pixels without a view, a
// window or a file, and a new bitmap each time for the caller to keep.
TEST_F(CardTest, TheCardIsDrawnWithoutAFile)
{
    if (!Person("person", "Hana", "Mori", "123-4567", "Kita 1-2"))
        GTEST_SKIP() << "this file system keeps no attributes";
    Load("person");
    ASSERT_NE(view->image, nullptr);
    BBitmap* card = draw_card("Hana", "Mori", "123-4567", "Kita 1-2");
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->Bounds(), BRect(0, 0, 399, 591));
    ASSERT_EQ(card->BitsLength(), view->image->BitsLength());
    EXPECT_EQ(memcmp(card->Bits(), view->image->Bits(), card->BitsLength()), 0);
    BBitmap* again = draw_card("", "", "", "");
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, card);
    delete card;
    delete again;
}

} // namespace
