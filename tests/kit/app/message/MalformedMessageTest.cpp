#include <Message.h>

#include "FlatBuilder.h"
#include "SampleMessages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The message every bad buffer is unflattened into; it must come out unchanged.
BMessage Target()
{
    BMessage target('tgt ');
    target.AddString("kept", "still here");
    target.AddInt32("kept number", 17);
    return target;
}

// Unflattens bytes into a fresh target and checks that a failure left it as it was.
status_t UnflattenIntoTarget(const std::vector<char>& bytes)
{
    BMessage target = Target();
    std::vector<char> before = Flat(target);
    status_t status = target.Unflatten(bytes.data(), (ssize_t)bytes.size());
    if (status != B_OK) {
        EXPECT_EQ(Flat(target), before);
        EXPECT_EQ(target.what, (uint32)'tgt ');
    }
    return status;
}

TEST(MalformedMessageTest, EveryTruncationIsRejected)
{
    std::vector<char> whole = Flat(MessageWithEveryType());
    for (size_t length = 0; length < whole.size(); length++) {
        std::vector<char> cut(whole.begin(), whole.begin() + length);
        status_t status = UnflattenIntoTarget(cut);
        EXPECT_TRUE(status == B_BAD_VALUE) << "length " << length << " gave " << status;
    }
    EXPECT_EQ(UnflattenIntoTarget(whole), B_OK);
}

TEST(MalformedMessageTest, EveryTruncationOfAStreamIsRejected)
{
    std::vector<char> whole = Flat(MessageWithEveryType());
    for (size_t length = 0; length < whole.size(); length += 7) {
        BMemoryIO stream(static_cast<const void*>(whole.data()), length);
        BMessage target = Target();
        EXPECT_EQ(target.Unflatten(&stream), B_BAD_VALUE) << length;
        EXPECT_EQ(target.what, (uint32)'tgt ');
        EXPECT_TRUE(target.HasString("kept"));
    }
}

// Any single damaged byte either still reads as a sound message or is
// rejected; a message that was accepted flattens and reads back again.
TEST(MalformedMessageTest, FlippedBytesNeverCrash)
{
    std::vector<char> whole = Flat(MessageWithEveryType());
    const unsigned char patterns[] = {0xff, 0x80, 0x01};
    int rejected = 0;
    for (size_t i = 0; i < whole.size(); i++) {
        for (unsigned char pattern : patterns) {
            std::vector<char> bytes = whole;
            bytes[i] = (char)(bytes[i] ^ pattern);
            BMessage target = Target();
            std::vector<char> before = Flat(target);
            status_t status = target.Unflatten(bytes.data(), (ssize_t)bytes.size());
            if (status != B_OK) {
                rejected++;
                EXPECT_EQ(Flat(target), before) << "byte " << i;
                continue;
            }
            BMessage again;
            std::vector<char> reflat = Flat(target);
            EXPECT_EQ(again.Unflatten(reflat.data(), (ssize_t)reflat.size()), B_OK) << i;
        }
    }
    // Lengths, counts, names and the magic number cover much of the buffer.
    EXPECT_GT(rejected, (int)whole.size() / 2);
}

TEST(MalformedMessageTest, DamagedHeadersCountsAndLengths)
{
    const std::string hello("hello\0", 6);
    struct Case
    {
        const char* label;
        std::vector<char> bytes;
        status_t status;
    };
    std::vector<Case> cases = {
        {"wrong magic",
         [] {
             auto b = FlatBuilder('what', 0).Bytes();
             b[0] = 'X';
             return b;
         }(),
         B_NOT_A_MESSAGE},
        {"magic only", std::vector<char>{'T', 'M', 'S', 'G'}, B_BAD_VALUE},
        {"total below the header", FlatBuilder('what', 0).Bytes(8), B_BAD_VALUE},
        {"total past the buffer", FlatBuilder('what', 0).Bytes(17), B_BAD_VALUE},
        {"huge field count", FlatBuilder('what', 0xffffffff).Bytes(), B_BAD_VALUE},
        {"more fields claimed than present",
         FlatBuilder('what', 2).Field("a", B_STRING_TYPE, 0, {hello}).Bytes(), B_BAD_VALUE},
        {"fewer fields claimed than present",
         FlatBuilder('what', 1)
             .Field("a", B_STRING_TYPE, 0, {hello})
             .Field("b", B_STRING_TYPE, 0, {hello})
             .Bytes(),
         B_BAD_VALUE},
        {"huge name length", FlatBuilder('what', 1).U32(0xffffffff).Raw("a", 2).Bytes(),
         B_BAD_VALUE},
        {"zero name length", FlatBuilder('what', 1).U32(0).Bytes(), B_BAD_VALUE},
        {"name without NUL",
         FlatBuilder('what', 1)
             .U32(3)
             .Raw("abc", 3)
             .U32(B_STRING_TYPE)
             .U32(0)
             .U32(1)
             .U32(6)
             .Raw(hello)
             .Bytes(),
         B_BAD_VALUE},
        {"name with an inner NUL",
         FlatBuilder('what', 1)
             .U32(4)
             .Raw("a\0b\0", 4)
             .U32(B_STRING_TYPE)
             .U32(0)
             .U32(1)
             .U32(6)
             .Raw(hello)
             .Bytes(),
         B_BAD_VALUE},
        {"duplicate names",
         FlatBuilder('what', 2)
             .Field("a", B_STRING_TYPE, 0, {hello})
             .Field("a", B_STRING_TYPE, 0, {hello})
             .Bytes(),
         B_BAD_VALUE},
        {"unknown flag bits", FlatBuilder('what', 1).Field("a", B_RAW_TYPE, 6, {"xy"}).Bytes(),
         B_BAD_VALUE},
        {"zero item count", FlatBuilder('what', 1).Field("a", B_RAW_TYPE, 0, {}).Bytes(),
         B_BAD_VALUE},
        {"huge item count",
         FlatBuilder('what', 1)
             .U32(2)
             .Raw("a", 2)
             .U32(B_RAW_TYPE)
             .U32(0)
             .U32(0x40000000)
             .U32(1)
             .Raw("x", 1)
             .Bytes(),
         B_BAD_VALUE},
        {"huge item size",
         FlatBuilder('what', 1).Field("a", B_RAW_TYPE, 0, {"xy"}, {0xffffffff}).Bytes(),
         B_BAD_VALUE},
        {"item sizes summing past the buffer",
         FlatBuilder('what', 1).Field("a", B_RAW_TYPE, 0, {"xy", "z"}, {2, 0x7fffffff}).Bytes(),
         B_BAD_VALUE},
        {"zero item size", FlatBuilder('what', 1).Field("a", B_RAW_TYPE, 0, {"", "xy"}).Bytes(),
         B_BAD_VALUE},
        {"fixed field with unequal sizes",
         FlatBuilder('what', 1).Field("a", B_RAW_TYPE, 1, {"xy", "xyz"}).Bytes(), B_BAD_VALUE},
        {"int32 of two bytes", FlatBuilder('what', 1).Field("n", B_INT32_TYPE, 1, {"xy"}).Bytes(),
         B_BAD_VALUE},
        {"rect of eight bytes",
         FlatBuilder('what', 1).Field("r", B_RECT_TYPE, 1, {std::string(8, '\0')}).Bytes(),
         B_BAD_VALUE},
        {"string without NUL",
         FlatBuilder('what', 1).Field("s", B_STRING_TYPE, 0, {"hello"}).Bytes(), B_BAD_VALUE},
        {"ref with one string",
         FlatBuilder('what', 1).Field("r", B_REF_TYPE, 0, {std::string("/dir\0", 5)}).Bytes(),
         B_BAD_VALUE},
        {"ref with three strings",
         FlatBuilder('what', 1).Field("r", B_REF_TYPE, 0, {std::string("/dir\0a\0b\0", 9)}).Bytes(),
         B_BAD_VALUE},
        {"ref without final NUL",
         FlatBuilder('what', 1).Field("r", B_REF_TYPE, 0, {std::string("/dir\0a", 6)}).Bytes(),
         B_BAD_VALUE},
        {"bytes after the last field inside the total",
         FlatBuilder('what', 1).Field("a", B_RAW_TYPE, 0, {"xy"}).Raw("junk", 4).Bytes(),
         B_BAD_VALUE},
        {"sound message", FlatBuilder('what', 1).Field("a", B_STRING_TYPE, 0, {hello}).Bytes(),
         B_OK},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UnflattenIntoTarget(c.bytes), c.status) << c.label;
}

std::string Nested(int levels)
{
    std::vector<char> bytes = FlatBuilder('leaf', 0).Bytes();
    for (int i = 0; i < levels; i++) {
        bytes = FlatBuilder('nest', 1)
                    .Field("m", B_MESSAGE_TYPE, 0, {std::string(bytes.begin(), bytes.end())})
                    .Bytes();
    }
    return std::string(bytes.begin(), bytes.end());
}

TEST(MalformedMessageTest, NestedMessagesAreCheckedToo)
{
    std::vector<char> badInner = FlatBuilder('innr', 1).U32(0xffffffff).Bytes();
    struct Case
    {
        const char* label;
        std::string item;
        status_t status;
    };
    const Case cases[] = {
        {"sound nested", Nested(1), B_OK},
        {"nested with a bad field", std::string(badInner.begin(), badInner.end()), B_BAD_VALUE},
        {"nested with a wrong magic", "XMSG" + Nested(0).substr(4), B_BAD_VALUE},
        {"nested truncated", Nested(1).substr(0, 20), B_BAD_VALUE},
        {"nested twenty deep", Nested(20), B_OK},
        {"nested far too deep", Nested(200), B_BAD_VALUE},
    };
    for (const Case& c : cases) {
        std::vector<char> bytes =
            FlatBuilder('top ', 1).Field("m", B_MESSAGE_TYPE, 0, {c.item}).Bytes();
        EXPECT_EQ(UnflattenIntoTarget(bytes), c.status) << c.label;
    }
}

TEST(MalformedMessageTest, AddingWhatCouldNotBeReadBackIsRefused)
{
    // What a message holds can always be flattened and read back, so nesting
    // stops where Unflatten would stop reading.
    BMessage message('deep');
    int levels = 0;
    while (levels < 1000) {
        BMessage outer('deep');
        if (outer.AddMessage("m", &message) != B_OK)
            break;
        message = outer;
        levels++;
    }
    EXPECT_LT(levels, 1000);
    std::vector<char> bytes = Flat(message);
    BMessage copy;
    EXPECT_EQ(copy.Unflatten(bytes.data(), (ssize_t)bytes.size()), B_OK);
}

TEST(MalformedMessageTest, ManyFieldsAreCheckedForDuplicatesQuickly)
{
    const uint32 count = 100000;
    FlatBuilder builder('many', count);
    for (uint32 i = 0; i < count; i++)
        builder.Field("f" + std::to_string(i), B_INT8_TYPE, 1, {"x"});
    std::vector<char> bytes = builder.Bytes();
    BMessage message;
    ASSERT_EQ(message.Unflatten(bytes.data(), (ssize_t)bytes.size()), B_OK);
    EXPECT_EQ(message.CountNames(B_INT8_TYPE), (int32)count);
}

} // namespace
