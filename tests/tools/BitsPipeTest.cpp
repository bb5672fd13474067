#include "BitsPipe.h"

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

namespace {

const size_t kChunk = BitsPipe::kChunkSize;

std::vector<uint8> pattern(size_t size)
{
    std::vector<uint8> bytes(size);
    for (size_t i = 0; i < size; i++)
        bytes[i] = uint8((i * 7 + i / 251) & 0xff);
    return bytes;
}

// How a writer lays the bytes down.
enum class Order { kInOrder, kBackwards, kShuffled };

struct Piece
{
    size_t offset;
    size_t size;
};

std::vector<Piece> pieces(size_t total, size_t step, Order order)
{
    std::vector<Piece> list;
    for (size_t offset = 0; offset < total; offset += step)
        list.push_back({offset, std::min(step, total - offset)});
    if (order == Order::kBackwards)
        std::reverse(list.begin(), list.end());
    if (order == Order::kShuffled)
        std::shuffle(list.begin(), list.end(), std::mt19937(42));
    return list;
}

// Reads the read end to its end in blocks of readSize.
std::vector<uint8> drain(BPositionIO* io, size_t readSize)
{
    std::vector<uint8> got;
    std::vector<uint8> block(readSize);
    while (true) {
        ssize_t n = io->Read(block.data(), block.size());
        if (n <= 0)
            break;
        got.insert(got.end(), block.begin(), block.begin() + n);
    }
    return got;
}

struct TransferCase
{
    const char* name;
    size_t total;
    size_t writeStep;
    Order order;
    size_t readSize;
};

void PrintTo(const TransferCase& c, std::ostream* os)
{
    *os << c.name;
}

class BitsPipeTransfer : public testing::TestWithParam<TransferCase>
{};

TEST_P(BitsPipeTransfer, TheReaderGetsExactlyWhatWasWritten)
{
    const TransferCase& c = GetParam();
    std::vector<uint8> bytes = pattern(c.total);
    BitsPipe pipe(off_t(1) << 30, 2 * kChunk);
    std::thread writer([&] {
        for (const Piece& piece : pieces(c.total, c.writeStep, c.order)) {
            ASSERT_EQ(pipe.WriteEnd()->WriteAt(off_t(piece.offset), bytes.data() + piece.offset,
                                               piece.size),
                      ssize_t(piece.size));
        }
        pipe.CloseWrite();
    });
    std::vector<uint8> got = drain(pipe.ReadEnd(), c.readSize);
    pipe.CloseRead(B_OK);
    writer.join();
    EXPECT_FALSE(pipe.Broken());
    ASSERT_EQ(got.size(), bytes.size());
    EXPECT_TRUE(got == bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, BitsPipeTransfer,
    testing::Values(TransferCase{"RowsInOrder", 12 * kChunk + 100, 4000, Order::kInOrder, 65536},
                    TransferCase{"OddSizes", 3 * kChunk + 5, 7, Order::kInOrder, 13},
                    TransferCase{"OneWriteOneRead", 5 * kChunk, 5 * kChunk, Order::kInOrder,
                                 5 * kChunk},
                    TransferCase{"BottomUpRows", 6 * kChunk, 4000, Order::kBackwards, 4096},
                    TransferCase{"Shuffled", 6 * kChunk + 33, 9999, Order::kShuffled, 100000},
                    TransferCase{"ReadAllAtOnce", 4 * kChunk, 3000, Order::kInOrder, 8 * kChunk}),
    [](const testing::TestParamInfo<TransferCase>& info) { return info.param.name; });

TEST(BitsPipe, AnInOrderWriterHoldsOnlyItsLeadNotTheWholeStream)
{
    const size_t total = 64 * kChunk;
    const size_t ahead = 4 * kChunk;
    std::vector<uint8> bytes = pattern(total);
    BitsPipe pipe(off_t(1) << 30, ahead);
    std::thread writer([&] {
        for (size_t offset = 0; offset < total; offset += 10000) {
            size_t size = std::min<size_t>(10000, total - offset);
            ASSERT_EQ(pipe.WriteEnd()->Write(bytes.data() + offset, size), ssize_t(size));
        }
        pipe.CloseWrite();
    });
    std::vector<uint8> got = drain(pipe.ReadEnd(), 32768);
    pipe.CloseRead(B_OK);
    writer.join();
    EXPECT_TRUE(got == bytes);
    EXPECT_LE(pipe.PeakBytes(), ahead + 3 * kChunk);
}

TEST(BitsPipe, AShortStreamEndsTheReaderAndTellsItsSize)
{
    BitsPipe pipe(1 << 20);
    std::vector<uint8> bytes = pattern(1000);
    ASSERT_EQ(pipe.WriteEnd()->Write(bytes.data(), 600), 600);
    off_t size = 0;
    EXPECT_EQ(pipe.ReadEnd()->GetSize(&size), B_NOT_SUPPORTED);
    pipe.CloseWrite();

    std::vector<uint8> got(1000);
    size_t read = 0;
    EXPECT_EQ(pipe.ReadEnd()->ReadExactly(got.data(), got.size(), &read), B_ERROR);
    EXPECT_EQ(read, 600u);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 600, got.begin()));
    ASSERT_EQ(pipe.ReadEnd()->GetSize(&size), B_OK);
    EXPECT_EQ(size, 600);
    EXPECT_EQ(pipe.ReadEnd()->Seek(0, SEEK_END), 600);
    // The reader that fails on the short stream failed after the writer.
    pipe.CloseRead(B_ERROR);
    EXPECT_FALSE(pipe.ReaderFailedFirst());
}

TEST(BitsPipe, SeekingToTheEndWaitsForTheWriter)
{
    BitsPipe pipe(1 << 20);
    std::vector<uint8> bytes = pattern(5000);
    std::thread writer([&] {
        for (size_t offset = 0; offset < bytes.size(); offset += 1000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            pipe.WriteEnd()->Write(bytes.data() + offset, 1000);
        }
        pipe.CloseWrite();
    });
    EXPECT_EQ(pipe.ReadEnd()->Seek(0, SEEK_END), 5000);
    writer.join();
}

TEST(BitsPipe, AReaderThatFailsStopsABlockedWriter)
{
    BitsPipe pipe(off_t(1) << 30, kChunk);
    std::vector<uint8> bytes = pattern(kChunk);
    status_t last = B_OK;
    std::thread writer([&] {
        for (int i = 0; i < 64 && last >= 0; i++) {
            ssize_t written = pipe.WriteEnd()->Write(bytes.data(), bytes.size());
            if (written < 0)
                last = status_t(written);
        }
    });
    uint8 first[16];
    ASSERT_EQ(pipe.ReadEnd()->Read(first, sizeof(first)), ssize_t(sizeof(first)));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pipe.CloseRead(B_DEVICE_FULL);
    writer.join();
    // The writer learns the reader's own reason, not a generic error.
    EXPECT_EQ(last, B_DEVICE_FULL);
    EXPECT_TRUE(pipe.ReaderFailedFirst());
}

TEST(BitsPipe, WritesBeyondTheLimitAreRefused)
{
    BitsPipe pipe(4096);
    uint8 byte = 1;
    EXPECT_EQ(pipe.WriteEnd()->WriteAt(4095, &byte, 1), 1);
    EXPECT_EQ(pipe.WriteEnd()->WriteAt(4096, &byte, 1), B_NO_MEMORY);
    EXPECT_EQ(pipe.WriteEnd()->WriteAt(-1, &byte, 1), B_BAD_VALUE);
    EXPECT_FALSE(pipe.Broken());
}

// What the pipe cannot honour breaks it: the call fails and Broken() says
// so, and no byte the reader was given is changed behind its back.
struct BreakCase
{
    const char* name;
    void (*act)(BitsPipe& pipe, const std::vector<uint8>& bytes);
};

void PrintTo(const BreakCase& c, std::ostream* os)
{
    *os << c.name;
}

void rewrite_bytes_already_read(BitsPipe& pipe, const std::vector<uint8>& bytes)
{
    ASSERT_EQ(pipe.WriteEnd()->Write(bytes.data(), 100), 100);
    uint8 got[50];
    ASSERT_EQ(pipe.ReadEnd()->Read(got, sizeof(got)), 50);
    uint8 other[10] = {};
    EXPECT_EQ(pipe.WriteEnd()->WriteAt(40, other, sizeof(other)), B_ERROR);
}

void read_back_on_the_write_end(BitsPipe& pipe, const std::vector<uint8>& bytes)
{
    ASSERT_EQ(pipe.WriteEnd()->Write(bytes.data(), 100), 100);
    uint8 got[10];
    EXPECT_LT(pipe.WriteEnd()->ReadAt(0, got, sizeof(got)), 0);
}

void resize_on_the_write_end(BitsPipe& pipe, const std::vector<uint8>& bytes)
{
    EXPECT_NE(pipe.WriteEnd()->SetSize(1000), B_OK);
}

void write_on_the_read_end(BitsPipe& pipe, const std::vector<uint8>& bytes)
{
    EXPECT_LT(pipe.ReadEnd()->WriteAt(0, bytes.data(), 10), 0);
}

void go_back_past_what_is_kept(BitsPipe& pipe, const std::vector<uint8>& bytes)
{
    ASSERT_EQ(pipe.WriteEnd()->Write(bytes.data(), bytes.size()), ssize_t(bytes.size()));
    std::vector<uint8> got(kChunk);
    ASSERT_EQ(pipe.ReadEnd()->ReadAt(0, got.data(), 100), 100);
    ASSERT_EQ(pipe.ReadEnd()->ReadAt(2 * kChunk, got.data(), 100), 100);
    EXPECT_EQ(pipe.ReadEnd()->ReadAt(10, got.data(), 10), B_ERROR);
}

class BitsPipeBreaks : public testing::TestWithParam<BreakCase>
{};

TEST_P(BitsPipeBreaks, TheCallFailsAndThePipeSaysSo)
{
    BitsPipe pipe(off_t(1) << 30);
    std::vector<uint8> bytes = pattern(3 * kChunk);
    GetParam().act(pipe, bytes);
    EXPECT_TRUE(pipe.Broken());
    // Neither end goes on after a break.
    uint8 byte = 0;
    EXPECT_EQ(pipe.ReadEnd()->ReadAt(0, &byte, 1), B_ERROR);
    EXPECT_EQ(pipe.WriteEnd()->WriteAt(3 * kChunk, &byte, 1), B_ERROR);
}

INSTANTIATE_TEST_SUITE_P(
    Misuse, BitsPipeBreaks,
    testing::Values(BreakCase{"RewriteBytesAlreadyRead", rewrite_bytes_already_read},
                    BreakCase{"ReadBackOnTheWriteEnd", read_back_on_the_write_end},
                    BreakCase{"ResizeOnTheWriteEnd", resize_on_the_write_end},
                    BreakCase{"WriteOnTheReadEnd", write_on_the_read_end},
                    BreakCase{"GoBackPastWhatIsKept", go_back_past_what_is_kept}),
    [](const testing::TestParamInfo<BreakCase>& info) { return info.param.name; });

TEST(BitsPipe, RewritingBytesNotYetReadIsAllowed)
{
    BitsPipe pipe(1 << 20);
    std::vector<uint8> bytes = pattern(200);
    ASSERT_EQ(pipe.WriteEnd()->Write(bytes.data(), 200), 200);
    uint8 header[4] = {'b', 'i', 't', 's'};
    ASSERT_EQ(pipe.WriteEnd()->WriteAt(0, header, 4), 4);
    pipe.CloseWrite();
    std::vector<uint8> got = drain(pipe.ReadEnd(), 64);
    EXPECT_FALSE(pipe.Broken());
    ASSERT_EQ(got.size(), 200u);
    EXPECT_EQ(memcmp(got.data(), header, 4), 0);
    EXPECT_TRUE(std::equal(bytes.begin() + 4, bytes.end(), got.begin() + 4));
}

} // namespace

namespace {

TEST(BitsPipe, SeeksOnEitherEndStayInRange)
{
    BitsPipe pipe(1 << 20);
    std::vector<uint8> bytes = pattern(100);
    ASSERT_EQ(pipe.WriteEnd()->Write(bytes.data(), bytes.size()), 100);
    pipe.CloseWrite();
    for (BPositionIO* io : {pipe.WriteEnd(), pipe.ReadEnd()}) {
        ASSERT_EQ(io->Seek(10, SEEK_SET), 10);
        EXPECT_EQ(io->Seek(INT64_MAX, SEEK_CUR), B_BAD_VALUE);
        EXPECT_EQ(io->Seek(-11, SEEK_CUR), B_BAD_VALUE);
        EXPECT_EQ(io->Seek(0, 99), B_BAD_VALUE);
        EXPECT_EQ(io->Position(), 10);
        EXPECT_EQ(io->Seek(-1, SEEK_END), 99);
    }
    EXPECT_FALSE(pipe.Broken());
}

} // namespace
