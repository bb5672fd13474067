#include <DataIO.h>
#include <Entry.h>
#include <Message.h>

#include "FlatBuilder.h"
#include "SampleMessages.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(MessageFlattenTest, EveryTypeSurvivesTheRoundTrip)
{
    BMessage original = MessageWithEveryType();
    std::vector<char> bytes = Flat(original);

    BMessage copy;
    ASSERT_EQ(copy.Unflatten(bytes.data(), (ssize_t)bytes.size()), B_OK);
    EXPECT_EQ(copy.what, (uint32)'evry');
    // Same fields in the same order, and the same bytes when flattened again.
    EXPECT_EQ(Flat(copy), bytes);
    EXPECT_EQ(copy.CountNames(B_ANY_TYPE), original.CountNames(B_ANY_TYPE));

    const char* second = nullptr;
    EXPECT_EQ(copy.FindString("string", 1, &second), B_OK);
    EXPECT_STREQ(second, "second");
    uint64 u64 = 0;
    EXPECT_EQ(copy.FindUInt64("uint64", &u64), B_OK);
    EXPECT_EQ(u64, (uint64)1 << 63);
    BRect rect;
    EXPECT_EQ(copy.FindRect("rect", &rect), B_OK);
    EXPECT_EQ(rect, BRect(1, 2, 3, 4));
    entry_ref ref;
    EXPECT_EQ(copy.FindRef("ref", &ref), B_OK);
    EXPECT_STREQ(ref.directory, "/home/user");
    EXPECT_STREQ(ref.name, "photo.png");
    BMessage nested;
    EXPECT_EQ(copy.FindMessage("message", &nested), B_OK);
    EXPECT_STREQ(nested.GetString("inside"), "yes");
    bool fixed = true;
    type_code type;
    EXPECT_EQ(copy.GetInfo("raw", &type, &fixed), B_OK);
    EXPECT_FALSE(fixed);
}

TEST(MessageFlattenTest, LayoutFollowsTheDocumentedFormat)
{
    BMessage message('abcd');
    message.AddInt32("n", 7);
    message.AddString("s", "hi");
    message.AddString("s", "x");
    std::vector<char> expected =
        FlatBuilder('abcd', 2)
            .Field("n", B_INT32_TYPE, 1, {Le32(7)})
            .Field("s", B_STRING_TYPE, 0, {std::string("hi\0", 3), std::string("x\0", 2)})
            .Bytes();
    EXPECT_EQ(Flat(message), expected);
    EXPECT_EQ(message.FlattenedSize(), (ssize_t)expected.size());
}

TEST(MessageFlattenTest, EmptyMessageFlattensToItsHeader)
{
    BMessage message('none');
    EXPECT_EQ(message.FlattenedSize(), 16);
    BMessage copy('othr');
    copy.AddInt8("x", 1);
    std::vector<char> bytes = Flat(message);
    ASSERT_EQ(copy.Unflatten(bytes.data(), (ssize_t)bytes.size()), B_OK);
    EXPECT_EQ(copy.what, (uint32)'none');
    EXPECT_TRUE(copy.IsEmpty());
}

TEST(MessageFlattenTest, TooSmallABufferIsRefused)
{
    BMessage message = MessageWithEveryType();
    std::vector<char> bytes(message.FlattenedSize() - 1, 'q');
    EXPECT_EQ(message.Flatten(bytes.data(), (ssize_t)bytes.size()), B_BUFFER_OVERFLOW);
    EXPECT_EQ(bytes[0], 'q');
    EXPECT_EQ(message.Flatten((char*)nullptr, 100), B_BAD_VALUE);
}

TEST(MessageFlattenTest, LargerBufferReadsOnlyTheMessage)
{
    BMessage message('big ');
    message.AddString("a", "b");
    std::vector<char> bytes = Flat(message);
    bytes.resize(bytes.size() + 100, '\x7f');
    BMessage copy;
    ASSERT_EQ(copy.Unflatten(bytes.data(), (ssize_t)bytes.size()), B_OK);
    EXPECT_STREQ(copy.GetString("a"), "b");
}

TEST(MessageFlattenTest, StreamsCarryMessagesBackToBack)
{
    BMessage first = MessageWithEveryType();
    BMessage second('2nd ');
    second.AddString("last", "one");
    BMallocIO stream;
    ssize_t size = 0;
    ASSERT_EQ(first.Flatten(&stream, &size), B_OK);
    EXPECT_EQ(size, first.FlattenedSize());
    ASSERT_EQ(second.Flatten(&stream), B_OK);

    stream.Seek(0, SEEK_SET);
    BMessage a;
    BMessage b;
    ASSERT_EQ(a.Unflatten(&stream), B_OK);
    ASSERT_EQ(b.Unflatten(&stream), B_OK);
    EXPECT_EQ(Flat(a), Flat(first));
    EXPECT_STREQ(b.GetString("last"), "one");
    EXPECT_EQ(stream.Position(), (off_t)stream.BufferLength());
    BMessage c('keep');
    EXPECT_EQ(c.Unflatten(&stream), B_BAD_VALUE);
    EXPECT_EQ(c.what, (uint32)'keep');
}

// Hands out one byte per call, as a slow pipe might.
class ByteAtATime : public BDataIO
{
public:
    explicit ByteAtATime(std::vector<char> bytes) : fBytes(std::move(bytes)) {}
    ssize_t Read(void* buffer, size_t size) override
    {
        if (fOffset >= fBytes.size() || size == 0)
            return 0;
        *static_cast<char*>(buffer) = fBytes[fOffset++];
        return 1;
    }
    size_t Offset() const { return fOffset; }

private:
    std::vector<char> fBytes;
    size_t fOffset = 0;
};

TEST(MessageFlattenTest, SlowStreamsAreReadCompletely)
{
    BMessage original = MessageWithEveryType();
    ByteAtATime stream(Flat(original));
    BMessage copy;
    ASSERT_EQ(copy.Unflatten(&stream), B_OK);
    EXPECT_EQ(Flat(copy), Flat(original));
}

TEST(MessageFlattenTest, StreamHeaderClaimingMoreThanIsThereFails)
{
    BMessage original('clam');
    original.AddString("s", "abc");
    // The header claims 3 GB; the stream ends after the real message.
    std::vector<char> bytes = FlatBuilder('clam', 1)
                                  .Field("s", B_STRING_TYPE, 0, {std::string("abc\0", 4)})
                                  .Bytes(3000000000LL);
    ByteAtATime stream(bytes);
    BMessage target('tgt ');
    EXPECT_EQ(target.Unflatten(&stream), B_BAD_VALUE);
    EXPECT_EQ(stream.Offset(), bytes.size());
    EXPECT_EQ(target.what, (uint32)'tgt ');

    std::vector<char> notAMessage(16, 'z');
    BMallocIO junk;
    junk.Write(notAMessage.data(), notAMessage.size());
    junk.Seek(0, SEEK_SET);
    EXPECT_EQ(target.Unflatten(&junk), B_NOT_A_MESSAGE);
    EXPECT_EQ(target.Unflatten((BDataIO*)nullptr), B_BAD_VALUE);
}

} // namespace
