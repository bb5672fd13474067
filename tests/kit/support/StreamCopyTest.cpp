#include <StreamCopy.h>

#include <DataIO.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A stream that hands out its bytes in reads of at most chunk bytes, then
// fails with readError (B_OK: it simply ends).
class ScriptedSource : public BDataIO
{
public:
    ScriptedSource(std::string bytes, size_t chunk, status_t readError)
        : fBytes(std::move(bytes)), fChunk(chunk), fReadError(readError)
    {}

    ssize_t Read(void* buffer, size_t size) override
    {
        if (fPosition == fBytes.size())
            return fReadError;
        size_t count = std::min({size, fChunk, fBytes.size() - fPosition});
        memcpy(buffer, fBytes.data() + fPosition, count);
        fPosition += count;
        return (ssize_t)count;
    }

    ssize_t Write(const void*, size_t) override { return B_NOT_ALLOWED; }

private:
    std::string fBytes;
    size_t fChunk;
    status_t fReadError;
    size_t fPosition = 0;
};

// A destination that keeps what it is given up to room bytes; past that it
// answers with a short count (full = B_OK) or with the error full.
class LimitedSink : public BDataIO
{
public:
    LimitedSink(size_t room, status_t full) : fRoom(room), fFull(full) {}

    ssize_t Read(void*, size_t) override { return B_NOT_ALLOWED; }

    ssize_t Write(const void* buffer, size_t size) override
    {
        size_t left = fRoom - fKept.size();
        if (left == 0 && fFull != B_OK)
            return fFull;
        size_t count = std::min(size, left);
        fKept.append(static_cast<const char*>(buffer), count);
        return (ssize_t)count;
    }

    const std::string& Kept() const { return fKept; }

private:
    size_t fRoom;
    status_t fFull;
    std::string fKept;
};

std::string Pattern(size_t length)
{
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; i++)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    return bytes;
}

TEST(StreamCopyTest, CopiesUntilTheSourceEndsOrAStreamFails)
{
    const size_t kBlock = 64 * 1024;
    const size_t kLots = size_t(1) << 30;
    struct Case
    {
        const char* name;
        size_t length;      // bytes the source holds
        size_t chunk;       // the most it gives per read
        status_t readError; // what it answers at its end
        size_t room;        // what the destination takes
        status_t full;      // how it refuses more (B_OK: a short count)
        status_t expected;
        size_t kept; // bytes that reach the destination
    };
    const Case cases[] = {
        {"empty source", 0, kBlock, B_OK, kLots, B_OK, B_OK, 0},
        {"one byte", 1, kBlock, B_OK, kLots, B_OK, B_OK, 1},
        {"exactly one block", kBlock, kLots, B_OK, kLots, B_OK, B_OK, kBlock},
        {"a block and a byte", kBlock + 1, kLots, B_OK, kLots, B_OK, B_OK, kBlock + 1},
        {"several blocks", 3 * kBlock + 123, kLots, B_OK, kLots, B_OK, B_OK, 3 * kBlock + 123},
        {"short reads", 100000, 999, B_OK, kLots, B_OK, B_OK, 100000},
        {"read fails after data", 70000, kBlock, B_IO_ERROR, kLots, B_OK, B_IO_ERROR, 70000},
        {"read fails at once", 0, kBlock, B_PERMISSION_DENIED, kLots, B_OK, B_PERMISSION_DENIED, 0},
        {"write fails", 2 * kBlock, kLots, B_OK, kBlock, B_NO_MEMORY, B_NO_MEMORY, kBlock},
        {"short write", 2 * kBlock, kLots, B_OK, kBlock + 10, B_OK, B_IO_ERROR, kBlock + 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = Pattern(c.length);
        ScriptedSource source(bytes, c.chunk, c.readError);
        LimitedSink sink(c.room, c.full);
        EXPECT_EQ(BPrivate::copy_stream(&source, &sink), c.expected);
        ASSERT_EQ(sink.Kept().size(), c.kept);
        EXPECT_TRUE(sink.Kept() == bytes.substr(0, c.kept));
    }
}

TEST(StreamCopyTest, CopiesFromWhereTheSourceStands)
{
    std::string bytes = Pattern(5000);
    BMemoryIO source(bytes.data(), bytes.size());
    ASSERT_EQ(source.Seek(1000, SEEK_SET), 1000);
    BMallocIO destination;
    ASSERT_EQ(BPrivate::copy_stream(&source, &destination), B_OK);
    ASSERT_EQ(destination.BufferLength(), 4000u);
    EXPECT_EQ(memcmp(destination.Buffer(), bytes.data() + 1000, 4000), 0);
}

} // namespace
