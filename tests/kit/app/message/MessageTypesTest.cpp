#include <Entry.h>
#include <Message.h>
#include <Messenger.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

TEST(MessageTypesTest, NumbersRoundTripAtTheirLimits)
{
    BMessage message;
    ASSERT_EQ(message.AddInt8("i8", INT8_MIN), B_OK);
    ASSERT_EQ(message.AddUInt8("u8", UINT8_MAX), B_OK);
    ASSERT_EQ(message.AddInt16("i16", INT16_MIN), B_OK);
    ASSERT_EQ(message.AddUInt16("u16", UINT16_MAX), B_OK);
    ASSERT_EQ(message.AddInt32("i32", INT32_MIN), B_OK);
    ASSERT_EQ(message.AddUInt32("u32", UINT32_MAX), B_OK);
    ASSERT_EQ(message.AddInt64("i64", INT64_MIN), B_OK);
    ASSERT_EQ(message.AddUInt64("u64", UINT64_MAX), B_OK);
    ASSERT_EQ(message.AddFloat("f", -0.0f), B_OK);
    ASSERT_EQ(message.AddDouble("d", std::numeric_limits<double>::infinity()), B_OK);

    int8 i8 = 0;
    uint8 u8 = 0;
    int16 i16 = 0;
    uint16 u16 = 0;
    int32 i32 = 0;
    uint32 u32 = 0;
    int64 i64 = 0;
    uint64 u64 = 0;
    float f = 1;
    double d = 0;
    EXPECT_EQ(message.FindInt8("i8", &i8), B_OK);
    EXPECT_EQ(message.FindUInt8("u8", &u8), B_OK);
    EXPECT_EQ(message.FindInt16("i16", &i16), B_OK);
    EXPECT_EQ(message.FindUInt16("u16", &u16), B_OK);
    EXPECT_EQ(message.FindInt32("i32", &i32), B_OK);
    EXPECT_EQ(message.FindUInt32("u32", &u32), B_OK);
    EXPECT_EQ(message.FindInt64("i64", &i64), B_OK);
    EXPECT_EQ(message.FindUInt64("u64", &u64), B_OK);
    EXPECT_EQ(message.FindFloat("f", &f), B_OK);
    EXPECT_EQ(message.FindDouble("d", &d), B_OK);
    EXPECT_EQ(i8, INT8_MIN);
    EXPECT_EQ(u8, UINT8_MAX);
    EXPECT_EQ(i16, INT16_MIN);
    EXPECT_EQ(u16, UINT16_MAX);
    EXPECT_EQ(i32, INT32_MIN);
    EXPECT_EQ(u32, UINT32_MAX);
    EXPECT_EQ(i64, INT64_MIN);
    EXPECT_EQ(u64, UINT64_MAX);
    EXPECT_TRUE(f == 0.0f && std::signbit(f));
    EXPECT_TRUE(std::isinf(d));
    // Signed and unsigned codes are distinct types.
    EXPECT_EQ(message.FindInt8("u8", &i8), B_BAD_TYPE);
}

TEST(MessageTypesTest, GeometryBoolsAndPointers)
{
    BMessage message;
    int local = 0;
    message.AddPoint("p", BPoint(1.5f, -2));
    message.AddRect("r", BRect(0, 0, 399, 591));
    message.AddBool("yes", true);
    message.AddBool("no", false);
    message.AddPointer("ptr", &local);

    BPoint p;
    BRect r;
    bool yes = false;
    bool no = true;
    void* ptr = nullptr;
    ASSERT_EQ(message.FindPoint("p", &p), B_OK);
    ASSERT_EQ(message.FindRect("r", &r), B_OK);
    ASSERT_EQ(message.FindBool("yes", &yes), B_OK);
    ASSERT_EQ(message.FindBool("no", &no), B_OK);
    ASSERT_EQ(message.FindPointer("ptr", &ptr), B_OK);
    EXPECT_EQ(p, BPoint(1.5f, -2));
    EXPECT_EQ(r, BRect(0, 0, 399, 591));
    EXPECT_TRUE(yes);
    EXPECT_FALSE(no);
    EXPECT_EQ(ptr, &local);
    EXPECT_TRUE(message.HasPoint("p"));
    EXPECT_FALSE(message.HasPoint("p", 1));
    EXPECT_TRUE(message.HasPointer("ptr"));

    // A bool byte other than 0 or 1 (as a foreign buffer might hold) reads as true.
    message.AddData("odd", B_BOOL_TYPE, "\x07", 1);
    bool odd = false;
    ASSERT_EQ(message.FindBool("odd", &odd), B_OK);
    EXPECT_TRUE(odd);
    EXPECT_EQ(message.ReplaceBool("yes", false), B_OK);
    EXPECT_FALSE(message.GetBool("yes", true));
}

TEST(MessageTypesTest, StringsPointIntoTheMessage)
{
    BMessage message;
    message.AddString("be:types", "image/png");
    message.AddString("be:types", "");
    const char* first = nullptr;
    const char* again = nullptr;
    ASSERT_EQ(message.FindString("be:types", &first), B_OK);
    ASSERT_EQ(message.FindString("be:types", 0, &again), B_OK);
    EXPECT_STREQ(first, "image/png");
    EXPECT_EQ(first, again);
    // Later additions leave earlier items where they were.
    for (int i = 0; i < 100; i++)
        message.AddString("be:types", "text/plain");
    EXPECT_STREQ(first, "image/png");
    const char* empty = nullptr;
    ASSERT_EQ(message.FindString("be:types", 1, &empty), B_OK);
    EXPECT_STREQ(empty, "");

    const void* data;
    ssize_t size;
    ASSERT_EQ(message.FindData("be:types", B_STRING_TYPE, 0, &data, &size), B_OK);
    EXPECT_EQ(size, 10);
}

TEST(MessageTypesTest, StringsMayCarryEmbeddedBytes)
{
    BMessage message;
    const char raw[] = "left\0right\0";
    ASSERT_EQ(message.AddData("pair", B_STRING_TYPE, raw, sizeof(raw) - 1, false), B_OK);
    const char* text = nullptr;
    ASSERT_EQ(message.FindString("pair", &text), B_OK);
    EXPECT_STREQ(text, "left");
    const void* data;
    ssize_t size;
    ASSERT_EQ(message.FindData("pair", B_STRING_TYPE, &data, &size), B_OK);
    EXPECT_EQ(std::string(static_cast<const char*>(data), size), std::string(raw, sizeof(raw) - 1));
}

TEST(MessageTypesTest, ReferencesRoundTrip)
{
    struct Case
    {
        const char* directory;
        const char* name;
    };
    const Case cases[] = {
        {"/home/user/pictures", "holiday photo.jpg"},
        {"/", "top"},
        {"", ""},
        {"/tmp/\xe6\xa7\x98", "\xe6\xa7\x98.png"},
    };
    BMessage message('DATA');
    for (const Case& c : cases) {
        entry_ref ref(c.directory, c.name);
        ASSERT_EQ(message.AddRef("refs", &ref), B_OK);
    }
    for (int32 i = 0; i < (int32)(sizeof(cases) / sizeof(cases[0])); i++) {
        entry_ref ref("/previous", "value");
        ASSERT_EQ(message.FindRef("refs", i, &ref), B_OK);
        EXPECT_STREQ(ref.directory, cases[i].directory);
        EXPECT_STREQ(ref.name, cases[i].name);
    }
    entry_ref kept("/previous", "value");
    EXPECT_EQ(message.FindRef("refs", 9, &kept), B_BAD_INDEX);
    EXPECT_STREQ(kept.name, "value");

    entry_ref replacement("/new", "other");
    EXPECT_EQ(message.ReplaceRef("refs", 1, &replacement), B_OK);
    entry_ref found;
    ASSERT_EQ(message.FindRef("refs", 1, &found), B_OK);
    EXPECT_TRUE(found == replacement);
    EXPECT_TRUE(message.HasRef("refs", 3));
}

TEST(MessageTypesTest, NestedMessages)
{
    BMessage innermost('deep');
    innermost.AddString("word", "bottom");
    BMessage inner('innr');
    inner.AddInt32("value", 42);
    inner.AddMessage("child", &innermost);
    BMessage outer('outr');
    ASSERT_EQ(outer.AddMessage("inner", &inner), B_OK);
    // The nested copy is taken when added.
    inner.AddInt32("value", 43);

    BMessage found;
    found.AddString("stale", "x");
    ASSERT_EQ(outer.FindMessage("inner", &found), B_OK);
    EXPECT_EQ(found.what, (uint32)'innr');
    EXPECT_FALSE(found.HasString("stale"));
    int32 count = 0;
    type_code type;
    found.GetInfo("value", &type, &count);
    EXPECT_EQ(count, 1);
    BMessage child;
    ASSERT_EQ(found.FindMessage("child", &child), B_OK);
    EXPECT_STREQ(child.GetString("word"), "bottom");

    BMessage untouched('keep');
    untouched.AddInt8("x", 1);
    EXPECT_EQ(outer.FindMessage("missing", &untouched), B_NAME_NOT_FOUND);
    EXPECT_EQ(untouched.what, (uint32)'keep');
    EXPECT_TRUE(untouched.HasInt8("x"));

    BMessage replacement('repl');
    EXPECT_EQ(outer.ReplaceMessage("inner", &replacement), B_OK);
    ASSERT_EQ(outer.FindMessage("inner", &found), B_OK);
    EXPECT_EQ(found.what, (uint32)'repl');
    EXPECT_TRUE(found.IsEmpty());

    // A message may hold a copy of itself.
    ASSERT_EQ(outer.AddMessage("self", &outer), B_OK);
    ASSERT_EQ(outer.FindMessage("self", &found), B_OK);
    EXPECT_TRUE(found.HasMessage("inner"));
    EXPECT_FALSE(found.HasMessage("self"));
}

TEST(MessageTypesTest, OtherTypeCodesAreRawData)
{
    BMessage message;
    const unsigned char png[] = {0x89, 'P', 'N', 'G', 0, 0, 0xff};
    ASSERT_EQ(message.AddData("image/png", B_MIME_TYPE, png, sizeof(png)), B_OK);
    ASSERT_EQ(message.AddData("custom", 'Cust', "\0\0", 2), B_OK);
    const void* data;
    ssize_t size;
    ASSERT_EQ(message.FindData("image/png", B_MIME_TYPE, &data, &size), B_OK);
    EXPECT_EQ(size, (ssize_t)sizeof(png));
    EXPECT_EQ(memcmp(data, png, sizeof(png)), 0);
    ASSERT_EQ(message.FindData("custom", B_ANY_TYPE, &data, &size), B_OK);
    EXPECT_EQ(size, 2);
    EXPECT_TRUE(message.HasData("custom", 'Cust'));
    EXPECT_FALSE(message.HasData("custom", B_RAW_TYPE));

    char* name = nullptr;
    type_code type = 0;
    ASSERT_EQ(message.GetInfo(B_MIME_TYPE, 0, &name, &type), B_OK);
    EXPECT_STREQ(name, "image/png");
}

TEST(MessageTypesTest, MessengersAreNotStoredAsFields)
{
    BMessage message;
    EXPECT_EQ(message.AddMessenger("target", BMessenger()), B_NOT_SUPPORTED);
    BMessenger messenger;
    EXPECT_EQ(message.FindMessenger("target", &messenger), B_NOT_SUPPORTED);
    EXPECT_TRUE(message.IsEmpty());
}

} // namespace
