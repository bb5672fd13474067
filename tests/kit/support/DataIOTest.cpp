#include <DataIO.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum OpKind { kRead, kWrite, kSeek, kReadAt, kWriteAt, kSetSize };

// One call on a stream and what the caller must see afterwards.
struct Op
{
    OpKind kind;
    off_t position;   // seek offset, or the position of ReadAt/WriteAt; size for SetSize
    uint32 mode;      // seek mode
    std::string data; // bytes to write, or the bytes a read must return
    int64 result;     // the call's return value
    off_t after;      // Position() after the call
};

struct StreamCase
{
    const char* name;
    bool readOnly;
    std::vector<Op> ops;
    std::string finalBuffer; // the whole fixed buffer at the end
    off_t finalSize;
};

void PrintTo(const StreamCase& c, std::ostream* os)
{
    *os << c.name;
}

int64 Apply(BPositionIO& io, const Op& op, std::string* readBack)
{
    char buffer[64] = {};
    size_t readSize = op.data.size();
    switch (op.kind) {
    case kRead: {
        ssize_t got = io.Read(buffer, readSize);
        if (got > 0)
            readBack->assign(buffer, got);
        return got;
    }
    case kReadAt: {
        ssize_t got = io.ReadAt(op.position, buffer, readSize);
        if (got > 0)
            readBack->assign(buffer, got);
        return got;
    }
    case kWrite:
        return io.Write(op.data.data(), op.data.size());
    case kWriteAt:
        return io.WriteAt(op.position, op.data.data(), op.data.size());
    case kSeek:
        return io.Seek(op.position, op.mode);
    case kSetSize:
        return io.SetSize(op.position);
    }
    return B_ERROR;
}

class MemoryIOTest : public testing::TestWithParam<StreamCase>
{};

TEST_P(MemoryIOTest, CallsAnswerAndMoveAsThePlatformDoes)
{
    const StreamCase& c = GetParam();
    char storage[8];
    memcpy(storage, "ABCDEFGH", 8);
    BMemoryIO writable(static_cast<void*>(storage), sizeof(storage));
    BMemoryIO readOnly(static_cast<const void*>(storage), sizeof(storage));
    BMemoryIO& io = c.readOnly ? readOnly : writable;

    for (size_t i = 0; i < c.ops.size(); i++) {
        const Op& op = c.ops[i];
        std::string readBack;
        int64 result = Apply(io, op, &readBack);
        EXPECT_EQ(result, op.result) << "step " << i;
        EXPECT_EQ(io.Position(), op.after) << "step " << i;
        if ((op.kind == kRead || op.kind == kReadAt) && op.result > 0) {
            EXPECT_EQ(readBack, op.data.substr(0, op.result)) << "step " << i;
        }
    }
    EXPECT_EQ(std::string(storage, sizeof(storage)), c.finalBuffer);
    off_t size = -1;
    EXPECT_EQ(io.GetSize(&size), B_OK);
    EXPECT_EQ(size, c.finalSize);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MemoryIOTest,
    testing::Values(StreamCase{"ReadAdvances",
                               false,
                               {{kRead, 0, 0, "ABC", 3, 3}, {kRead, 0, 0, "DEF", 3, 6}},
                               "ABCDEFGH",
                               8},
                    StreamCase{"ReadStopsAtEnd",
                               false,
                               {{kSeek, 6, SEEK_SET, "", 6, 6},
                                {kRead, 0, 0, "GHxx", 2, 8},
                                {kRead, 0, 0, "x", 0, 8}},
                               "ABCDEFGH",
                               8},
                    StreamCase{"WriteIsBoundedByBuffer",
                               false,
                               {{kSeek, -2, SEEK_END, "", 6, 6},
                                {kWrite, 0, 0, "wxyz", 2, 8},
                                {kWrite, 0, 0, "q", 0, 8}},
                               "ABCDEFwx",
                               8},
                    StreamCase{"WriteAtLeavesPosition",
                               false,
                               {{kWriteAt, 2, 0, "12", 2, 0}, {kReadAt, 1, 0, "B12E", 4, 0}},
                               "AB12EFGH",
                               8},
                    StreamCase{"ReadOnlyRefusesWrites",
                               true,
                               {{kWrite, 0, 0, "zz", B_NOT_ALLOWED, 0},
                                {kWriteAt, 3, 0, "zz", B_NOT_ALLOWED, 0},
                                {kSetSize, 4, 0, "", B_NOT_ALLOWED, 0},
                                {kRead, 0, 0, "AB", 2, 2}},
                               "ABCDEFGH",
                               8},
                    StreamCase{"NegativePositionsAreRefused",
                               false,
                               {{kSeek, 3, SEEK_SET, "", 3, 3},
                                {kSeek, -1, SEEK_SET, "", B_BAD_VALUE, 3},
                                {kSeek, -4, SEEK_CUR, "", B_BAD_VALUE, 3},
                                {kSeek, -9, SEEK_END, "", B_BAD_VALUE, 3},
                                {kSeek, -1, SEEK_CUR, "", 2, 2},
                                {kReadAt, -1, 0, "A", B_BAD_VALUE, 2},
                                {kWriteAt, -1, 0, "A", B_BAD_VALUE, 2}},
                               "ABCDEFGH",
                               8},
                    StreamCase{"SeekPastEndReadsNothing",
                               false,
                               {{kSeek, 20, SEEK_SET, "", 20, 20},
                                {kRead, 0, 0, "x", 0, 20},
                                {kWrite, 0, 0, "x", 0, 20}},
                               "ABCDEFGH",
                               8},
                    StreamCase{"SetSizeShrinksAndRegrowsWithinBuffer",
                               false,
                               {{kSetSize, 4, 0, "", B_OK, 0},
                                {kReadAt, 2, 0, "CDEF", 2, 0},
                                {kSetSize, 9, 0, "", B_BAD_VALUE, 0},
                                {kSetSize, -1, 0, "", B_BAD_VALUE, 0},
                                {kWriteAt, 5, 0, "x", 1, 0}},
                               "ABCDExGH",
                               6},
                    StreamCase{"UnknownSeekModeIsRefused",
                               false,
                               {{kSeek, 1, 77, "", B_BAD_VALUE, 0}},
                               "ABCDEFGH",
                               8}),
    [](const testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

std::string Contents(const BMallocIO& io)
{
    return std::string(static_cast<const char*>(io.Buffer()), io.BufferLength());
}

TEST(MallocIOTest, GrowsWithWritesAndKeepsContents)
{
    struct Step
    {
        const char* write;
        off_t at; // -1: at the current position
        std::string expected;
        off_t position;
    };
    const Step steps[] = {
        {"hello", -1, "hello", 5},
        {" world", -1, "hello world", 11},
        {"J", 0, "Jello world", 11},
        {"!", 13, std::string("Jello world\0\0!", 14), 11},
    };
    BMallocIO io;
    io.SetBlockSize(4);
    for (const Step& step : steps) {
        size_t length = strlen(step.write);
        ssize_t written =
            step.at < 0 ? io.Write(step.write, length) : io.WriteAt(step.at, step.write, length);
        EXPECT_EQ(written, (ssize_t)length);
        EXPECT_EQ(Contents(io), step.expected);
        EXPECT_EQ(io.Position(), step.position);
    }
}

TEST(MallocIOTest, ReadsBackWhatWasWritten)
{
    BMallocIO io;
    std::vector<char> data(3000);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = (char)(i * 7);
    ASSERT_EQ(io.Write(data.data(), data.size()), 3000);
    ASSERT_EQ(io.Seek(0, SEEK_SET), 0);
    std::vector<char> back(4000);
    EXPECT_EQ(io.Read(back.data(), back.size()), 3000);
    back.resize(3000);
    EXPECT_EQ(back, data);
    EXPECT_EQ(io.Read(back.data(), 10), 0);
    EXPECT_EQ(io.Position(), 3000);
}

TEST(MallocIOTest, SetSizeTruncatesAndZeroFills)
{
    BMallocIO io;
    io.Write("abcdef", 6);
    EXPECT_EQ(io.SetSize(3), B_OK);
    EXPECT_EQ(Contents(io), "abc");
    EXPECT_EQ(io.SetSize(5), B_OK);
    EXPECT_EQ(Contents(io), std::string("abc\0\0", 5));
    EXPECT_EQ(io.SetSize(-1), B_BAD_VALUE);
    EXPECT_EQ(io.SetSize(0), B_OK);
    EXPECT_EQ(io.BufferLength(), 0u);
    EXPECT_EQ(io.Buffer(), nullptr);
    off_t size = -1;
    EXPECT_EQ(io.GetSize(&size), B_OK);
    EXPECT_EQ(size, 0);
}

TEST(MallocIOTest, SeekModesAndBadPositions)
{
    BMallocIO io;
    io.Write("0123456789", 10);
    EXPECT_EQ(io.Seek(2, SEEK_SET), 2);
    EXPECT_EQ(io.Seek(3, SEEK_CUR), 5);
    EXPECT_EQ(io.Seek(-1, SEEK_END), 9);
    EXPECT_EQ(io.Seek(-11, SEEK_END), B_BAD_VALUE);
    EXPECT_EQ(io.Position(), 9);
    char c = 0;
    EXPECT_EQ(io.Read(&c, 1), 1);
    EXPECT_EQ(c, '9');
    EXPECT_EQ(io.ReadAt(-1, &c, 1), B_BAD_VALUE);
    EXPECT_EQ(io.WriteAt(-1, &c, 1), B_BAD_VALUE);
    EXPECT_EQ(io.Write(nullptr, 1), B_BAD_VALUE);
}

// A stream that hands out at most three bytes a call, as pipes and sockets may.
class TrickleIO : public BDataIO
{
public:
    explicit TrickleIO(std::string data) : fData(std::move(data)) {}
    ssize_t Read(void* buffer, size_t size) override
    {
        size_t count = std::min({size, (size_t)3, fData.size() - fOffset});
        memcpy(buffer, fData.data() + fOffset, count);
        fOffset += count;
        return (ssize_t)count;
    }
    ssize_t Write(const void* buffer, size_t size) override
    {
        size_t count = std::min(size, (size_t)3);
        fWritten.append(static_cast<const char*>(buffer), count);
        return (ssize_t)count;
    }
    std::string fData;
    size_t fOffset = 0;
    std::string fWritten;
};

TEST(DataIOTest, ReadExactlyAndWriteExactlyLoop)
{
    TrickleIO io("abcdefghij");
    char buffer[16] = {};
    size_t got = 0;
    EXPECT_EQ(io.ReadExactly(buffer, 8, &got), B_OK);
    EXPECT_EQ(got, 8u);
    EXPECT_EQ(std::string(buffer, 8), "abcdefgh");
    EXPECT_EQ(io.ReadExactly(buffer, 5, &got), B_ERROR);
    EXPECT_EQ(got, 2u);

    size_t put = 0;
    EXPECT_EQ(io.WriteExactly("0123456", 7, &put), B_OK);
    EXPECT_EQ(put, 7u);
    EXPECT_EQ(io.fWritten, "0123456");
}

TEST(DataIOTest, BaseStreamSupportsNothing)
{
    BDataIO io;
    char c;
    EXPECT_EQ(io.Read(&c, 1), B_NOT_SUPPORTED);
    EXPECT_EQ(io.Write(&c, 1), B_NOT_SUPPORTED);
    EXPECT_EQ(io.ReadExactly(&c, 1), B_NOT_SUPPORTED);
}

} // namespace

// Seeks that cannot land anywhere leave every in-memory stream where it was.
TEST(PositionIOSeek, ImpossibleTargetsAreRefusedAndChangeNothing)
{
    char storage[16] = {};
    BMemoryIO memory(static_cast<void*>(storage), sizeof(storage));
    BMallocIO malloced;
    malloced.WriteAt(0, storage, sizeof(storage));
    BPositionIO* streams[] = {&memory, &malloced};
    const struct
    {
        off_t position;
        uint32 mode;
    } kRefused[] = {{-1, SEEK_SET},        {-11, SEEK_CUR},       {-17, SEEK_END},
                    {INT64_MAX, SEEK_CUR}, {INT64_MAX, SEEK_END}, {0, 99},
                    {INT64_MIN, SEEK_CUR}};
    for (BPositionIO* io : streams) {
        ASSERT_EQ(io->Seek(10, SEEK_SET), 10);
        for (const auto& seek : kRefused) {
            EXPECT_EQ(io->Seek(seek.position, seek.mode), B_BAD_VALUE)
                << seek.position << " mode " << seek.mode;
            EXPECT_EQ(io->Position(), 10);
        }
        EXPECT_EQ(io->Seek(-2, SEEK_END), 14);
        EXPECT_EQ(io->Seek(INT64_MAX - 14, SEEK_CUR), INT64_MAX);
    }
}
