#include <Message.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> NamesOfType(const BMessage& message, type_code type)
{
    std::vector<std::string> names;
    char* name;
    type_code found;
    int32 count;
    for (int32 i = 0; message.GetInfo(type, i, &name, &found, &count) == B_OK; i++)
        names.push_back(std::string(name) + ":" + std::to_string(count));
    return names;
}

TEST(MessageFieldsTest, FieldsKeepTheOrderOfFirstAddition)
{
    BMessage message('test');
    message.AddString("zeta", "z");
    message.AddInt32("alpha", 1);
    message.AddString("mid", "m");
    message.AddInt32("alpha", 2);
    message.AddString("zeta", "zz");
    message.AddFloat("last", 1.5f);

    EXPECT_EQ(NamesOfType(message, B_ANY_TYPE),
              (std::vector<std::string>{"zeta:2", "alpha:2", "mid:1", "last:1"}));
    EXPECT_EQ(NamesOfType(message, B_STRING_TYPE), (std::vector<std::string>{"zeta:2", "mid:1"}));
    EXPECT_EQ(NamesOfType(message, B_INT32_TYPE), (std::vector<std::string>{"alpha:2"}));
    EXPECT_EQ(message.CountNames(B_ANY_TYPE), 4);
    EXPECT_EQ(message.CountNames(B_STRING_TYPE), 2);
    EXPECT_EQ(message.CountNames(B_RECT_TYPE), 0);
}

TEST(MessageFieldsTest, GetInfoByIndexFailsWithoutTouchingOutputs)
{
    BMessage message;
    message.AddString("a", "x");
    message.AddInt32("b", 1);
    struct Case
    {
        type_code type;
        int32 index;
        status_t status;
    };
    const Case cases[] = {
        {B_ANY_TYPE, 2, B_BAD_INDEX},
        {B_STRING_TYPE, 1, B_BAD_INDEX},
        {B_RECT_TYPE, 0, B_BAD_TYPE},
        {B_ANY_TYPE, -1, B_BAD_INDEX},
    };
    for (const Case& c : cases) {
        char sentinelName[] = "untouched";
        char* name = sentinelName;
        type_code type = 'none';
        int32 count = -7;
        EXPECT_EQ(message.GetInfo(c.type, c.index, &name, &type, &count), c.status) << c.index;
        EXPECT_EQ(name, sentinelName);
        EXPECT_EQ(type, (type_code)'none');
        EXPECT_EQ(count, -7);
    }
}

TEST(MessageFieldsTest, GetInfoByName)
{
    BMessage message;
    message.AddData("blob", B_MIME_TYPE, "abc", 3, false);
    message.AddData("blob", B_MIME_TYPE, "de", 2, false);
    message.AddInt16("format_no", 3);

    type_code type = 0;
    int32 count = 0;
    ASSERT_EQ(message.GetInfo("blob", &type, &count), B_OK);
    EXPECT_EQ(type, (type_code)B_MIME_TYPE);
    EXPECT_EQ(count, 2);
    bool fixed = true;
    ASSERT_EQ(message.GetInfo("blob", &type, &fixed), B_OK);
    EXPECT_FALSE(fixed);
    ASSERT_EQ(message.GetInfo("format_no", &type, &fixed), B_OK);
    EXPECT_TRUE(fixed);
    EXPECT_EQ(type, (type_code)B_INT16_TYPE);

    type = 'none';
    EXPECT_EQ(message.GetInfo("missing", &type, &count), B_NAME_NOT_FOUND);
    EXPECT_EQ(type, (type_code)'none');
    EXPECT_EQ(message.GetInfo(nullptr, &type, &count), B_BAD_VALUE);
}

// Every Find reports why it failed and leaves its output as it was.
TEST(MessageFieldsTest, FindFailuresLeaveOutputsUntouched)
{
    BMessage message;
    message.AddInt32("number", 5);
    message.AddString("text", "hello");
    message.AddRect("rect", BRect(1, 2, 3, 4));

    // Each finder reports its status and whether its output kept its sentinel.
    using Finder = std::function<status_t(const char* name, int32 index, bool* untouched)>;
    Finder findInt32 = [&](const char* name, int32 index, bool* untouched) {
        int32 value = -99;
        status_t status = message.FindInt32(name, index, &value);
        *untouched = value == -99;
        return status;
    };
    Finder findString = [&](const char* name, int32 index, bool* untouched) {
        static const char sentinel[] = "sentinel";
        const char* value = sentinel;
        status_t status = message.FindString(name, index, &value);
        *untouched = value == sentinel;
        return status;
    };
    Finder findRect = [&](const char* name, int32 index, bool* untouched) {
        BRect value(9, 9, 9, 9);
        status_t status = message.FindRect(name, index, &value);
        *untouched = value == BRect(9, 9, 9, 9);
        return status;
    };
    Finder findData = [&](const char* name, int32 index, bool* untouched) {
        const void* data = &message;
        ssize_t size = -5;
        status_t status = message.FindData(name, B_INT32_TYPE, index, &data, &size);
        *untouched = data == &message && size == -5;
        return status;
    };
    struct Case
    {
        const char* label;
        Finder* find;
        const char* name;
        int32 index;
        status_t status;
    };
    const Case cases[] = {
        {"int32", &findInt32, "missing", 0, B_NAME_NOT_FOUND},
        {"int32", &findInt32, "text", 0, B_BAD_TYPE},
        {"int32", &findInt32, "number", 1, B_BAD_INDEX},
        {"int32", &findInt32, "number", -1, B_BAD_INDEX},
        {"string", &findString, "missing", 0, B_NAME_NOT_FOUND},
        {"string", &findString, "number", 0, B_BAD_TYPE},
        {"string", &findString, "text", 1, B_BAD_INDEX},
        {"string", &findString, nullptr, 0, B_BAD_VALUE},
        {"rect", &findRect, "missing", 0, B_NAME_NOT_FOUND},
        {"rect", &findRect, "text", 0, B_BAD_TYPE},
        {"rect", &findRect, "rect", 3, B_BAD_INDEX},
        {"data", &findData, "missing", 0, B_NAME_NOT_FOUND},
        {"data", &findData, "rect", 0, B_BAD_TYPE},
        {"data", &findData, "number", 1, B_BAD_INDEX},
    };
    for (const Case& c : cases) {
        bool untouched = false;
        const char* name = c.name != nullptr ? c.name : "(null)";
        EXPECT_EQ((*c.find)(c.name, c.index, &untouched), c.status) << c.label << " " << name;
        EXPECT_TRUE(untouched) << c.label << " " << name << " " << c.index;
    }
}

TEST(MessageFieldsTest, AddingAnotherTypeUnderANameIsRefused)
{
    BMessage message;
    ASSERT_EQ(message.AddInt32("value", 1), B_OK);
    EXPECT_EQ(message.AddString("value", "x"), B_BAD_TYPE);
    EXPECT_EQ(message.AddInt16("value", 1), B_BAD_TYPE);
    EXPECT_EQ(message.AddData("value", B_RAW_TYPE, "abcd", 4), B_BAD_TYPE);
    int32 count = 0;
    type_code type;
    message.GetInfo("value", &type, &count);
    EXPECT_EQ(count, 1);
}

TEST(MessageFieldsTest, FixedSizeFieldsRequireEqualSizes)
{
    BMessage message;
    ASSERT_EQ(message.AddData("fixed", B_RAW_TYPE, "abcd", 4, true), B_OK);
    EXPECT_EQ(message.AddData("fixed", B_RAW_TYPE, "abc", 3, true), B_BAD_VALUE);
    EXPECT_EQ(message.AddData("fixed", B_RAW_TYPE, "abcde", 5, false), B_BAD_VALUE);
    EXPECT_EQ(message.AddData("fixed", B_RAW_TYPE, "wxyz", 4, true), B_OK);
    EXPECT_EQ(message.ReplaceData("fixed", B_RAW_TYPE, 1, "12345", 5), B_BAD_VALUE);

    ASSERT_EQ(message.AddData("loose", B_RAW_TYPE, "abcd", 4, false), B_OK);
    EXPECT_EQ(message.AddData("loose", B_RAW_TYPE, "a", 1, true), B_OK);
    EXPECT_EQ(message.ReplaceData("loose", B_RAW_TYPE, 0, "123456", 6), B_OK);
    const void* data;
    ssize_t size;
    ASSERT_EQ(message.FindData("loose", B_RAW_TYPE, 0, &data, &size), B_OK);
    EXPECT_EQ(std::string(static_cast<const char*>(data), size), "123456");
}

TEST(MessageFieldsTest, BadAddsAreRefused)
{
    BMessage message;
    const std::vector<std::pair<std::string, status_t>> results = {
        {"null string", message.AddString("s", nullptr)},
        {"null name", message.AddInt32(nullptr, 1)},
        {"null data", message.AddData("d", B_RAW_TYPE, nullptr, 4)},
        {"empty data", message.AddData("d", B_RAW_TYPE, "x", 0)},
        {"negative size", message.AddData("d", B_RAW_TYPE, "x", -1)},
        {"int32 of two bytes", message.AddData("i", B_INT32_TYPE, "ab", 2)},
        {"string without NUL", message.AddData("s", B_STRING_TYPE, "abc", 3)},
        {"ref of one string", message.AddData("r", B_REF_TYPE, "abc", 4)},
        {"message of junk", message.AddData("m", B_MESSAGE_TYPE, "junkjunkjunkjunk", 16)},
        {"null ref", message.AddRef("r", nullptr)},
        {"null message", message.AddMessage("m", nullptr)},
    };
    for (const auto& [label, status] : results)
        EXPECT_EQ(status, B_BAD_VALUE) << label;
    EXPECT_TRUE(message.IsEmpty());
}

TEST(MessageFieldsTest, ReplaceChangesOneItem)
{
    BMessage message;
    message.AddInt32("n", 1);
    message.AddInt32("n", 2);
    message.AddString("s", "short");
    EXPECT_EQ(message.ReplaceInt32("n", 1, 20), B_OK);
    EXPECT_EQ(message.ReplaceInt32("n", 7), B_OK);
    EXPECT_EQ(message.ReplaceInt32("n", 2, 0), B_BAD_INDEX);
    EXPECT_EQ(message.ReplaceInt32("missing", 0), B_NAME_NOT_FOUND);
    EXPECT_EQ(message.ReplaceInt16("n", 0), B_BAD_TYPE);
    EXPECT_EQ(message.ReplaceString("s", "a much longer string"), B_OK);
    EXPECT_EQ(message.ReplaceString("s", nullptr), B_BAD_VALUE);
    EXPECT_EQ(message.GetInt32("n", 0), 7);
    int32 second = 0;
    message.FindInt32("n", 1, &second);
    EXPECT_EQ(second, 20);
    EXPECT_STREQ(message.GetString("s"), "a much longer string");
}

TEST(MessageFieldsTest, RemovingItemsAndFields)
{
    BMessage message('rmv ');
    message.AddInt32("a", 1);
    message.AddInt32("a", 2);
    message.AddString("b", "x");
    message.AddString("c", "y");
    EXPECT_EQ(message.RemoveData("a", 0), B_OK);
    EXPECT_EQ(message.GetInt32("a", 0), 2);
    EXPECT_EQ(message.RemoveData("a", 1), B_BAD_INDEX);
    EXPECT_EQ(message.RemoveData("a"), B_OK);
    EXPECT_FALSE(message.HasInt32("a"));
    EXPECT_EQ(message.RemoveData("a"), B_NAME_NOT_FOUND);
    EXPECT_EQ(message.RemoveName("b"), B_OK);
    EXPECT_EQ(message.RemoveName("b"), B_NAME_NOT_FOUND);
    EXPECT_EQ(NamesOfType(message, B_ANY_TYPE), (std::vector<std::string>{"c:1"}));
    EXPECT_EQ(message.MakeEmpty(), B_OK);
    EXPECT_TRUE(message.IsEmpty());
    EXPECT_EQ(message.what, (uint32)'rmv ');
}

TEST(MessageFieldsTest, RenameKeepsPositionAndRefusesClashes)
{
    BMessage message;
    message.AddInt32("first", 1);
    message.AddInt32("second", 2);
    EXPECT_EQ(message.Rename("first", "renamed"), B_OK);
    EXPECT_EQ(message.Rename("second", "renamed"), B_NAME_IN_USE);
    EXPECT_EQ(message.Rename("missing", "x"), B_NAME_NOT_FOUND);
    EXPECT_EQ(NamesOfType(message, B_ANY_TYPE),
              (std::vector<std::string>{"renamed:1", "second:1"}));
}

TEST(MessageFieldsTest, CopiesAreIndependent)
{
    BMessage original('orig');
    original.AddString("name", "one");
    BMessage copy(original);
    copy.AddString("name", "two");
    copy.what = 'copy';
    EXPECT_EQ(original.CountNames(B_ANY_TYPE), 1);
    int32 count = 0;
    type_code type;
    original.GetInfo("name", &type, &count);
    EXPECT_EQ(count, 1);

    BMessage assigned;
    assigned.AddInt32("old", 1);
    assigned = copy;
    EXPECT_EQ(assigned.what, (uint32)'copy');
    EXPECT_FALSE(assigned.HasInt32("old"));
    const char* second = nullptr;
    EXPECT_EQ(assigned.FindString("name", 1, &second), B_OK);
    EXPECT_STREQ(second, "two");
}

TEST(MessageFieldsTest, SystemCodesAndConvenienceGetters)
{
    EXPECT_TRUE(BMessage('_QRQ').IsSystem());
    EXPECT_FALSE(BMessage('fiop').IsSystem());
    EXPECT_FALSE(BMessage('_ab1').IsSystem());

    BMessage message;
    message.AddBool("flag", true);
    message.AddFloat("scale", 2.5f);
    EXPECT_TRUE(message.GetBool("flag"));
    EXPECT_TRUE(message.GetBool("missing", true));
    EXPECT_FLOAT_EQ(message.GetFloat("scale", 1), 2.5f);
    EXPECT_FLOAT_EQ(message.GetFloat("flag", 1), 1);
    EXPECT_EQ(message.GetInt32("scale", -3), -3);
    EXPECT_EQ(message.GetString("missing", "default"), std::string("default"));
    EXPECT_EQ(message.GetString("missing"), nullptr);
}

TEST(MessageFieldsTest, DropFields)
{
    BMessage plain;
    EXPECT_FALSE(plain.WasDropped());
    BPoint offset(7, 7);
    EXPECT_EQ(plain.DropPoint(&offset), BPoint(0, 0));
    EXPECT_EQ(offset, BPoint(0, 0));

    BMessage dropped('DATA');
    dropped.AddPoint("_drop_point_", BPoint(120.5f, 40));
    EXPECT_TRUE(dropped.WasDropped());
    EXPECT_EQ(dropped.DropPoint(), BPoint(120.5f, 40));
    dropped.AddPoint("_drop_offset_", BPoint(3, 4));
    EXPECT_EQ(dropped.DropPoint(&offset), BPoint(120.5f, 40));
    EXPECT_EQ(offset, BPoint(3, 4));

    BMessage wrongType;
    wrongType.AddInt32("_drop_point_", 1);
    EXPECT_FALSE(wrongType.WasDropped());
}

TEST(MessageFieldsTest, PrintToStreamShowsEveryField)
{
    BMessage inner('innr');
    inner.AddInt16("depth", 2);
    BMessage message('prnt');
    message.AddString("title", "pic.png");
    message.AddInt32("count", 2);
    message.AddInt32("count", 3);
    message.AddMessage("inner", &inner);
    message.AddData("image/png", B_MIME_TYPE, "\x89PNG", 4);
    testing::internal::CaptureStdout();
    message.PrintToStream();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("BMessage('prnt') {"), std::string::npos) << out;
    EXPECT_NE(out.find("title = string(\"pic.png\", 8 bytes)"), std::string::npos) << out;
    EXPECT_NE(out.find("count[1] = int32(3 or 0x3)"), std::string::npos) << out;
    EXPECT_NE(out.find("inner = BMessage('innr') {"), std::string::npos) << out;
    EXPECT_NE(out.find("        depth = int16(2)"), std::string::npos) << out;
    EXPECT_NE(out.find("image/png = 'MIME' 4 bytes: 89 50 4e 47"), std::string::npos) << out;
}

} // namespace
