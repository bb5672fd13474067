#include "translation/StreamReader.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A memory stream that can claim another size, or fail to tell it.
class SizedIO : public BMemoryIO
{
public:
    SizedIO(const uint8* data, size_t length, off_t claimedSize, status_t sizeError)
        : BMemoryIO(data, length), fClaimedSize(claimedSize), fSizeError(sizeError)
    {}

    status_t GetSize(off_t* size) const override
    {
        if (fSizeError != B_OK)
            return fSizeError;
        if (fClaimedSize < 0)
            return BMemoryIO::GetSize(size);
        *size = fClaimedSize;
        return B_OK;
    }

private:
    off_t fClaimedSize;
    status_t fSizeError;
};

// Reads four bytes and takes the file when they are "FILE".
status_t check_magic(BPositionIO* source)
{
    char magic[4];
    if (source->Read(magic, 4) != 4)
        return B_NO_TRANSLATOR;
    return memcmp(magic, "FILE", 4) == 0 ? B_OK : status_t(B_NO_TRANSLATOR);
}

TEST(OpenStreamFile, GivesWhereTheFileStartsAndHowLongItIs)
{
    struct Case
    {
        const char* name;
        const char* bytes;
        off_t position;     // where the file is read from
        off_t claimedSize;  // -1: the bytes' own length
        status_t sizeError; // GetSize fails with this
        status_t expected;
        off_t start;
        off_t length;
    } const cases[] = {
        {"at the start", "FILE1234", 0, -1, B_OK, B_OK, 0, 8},
        {"after other data", "xyzFILE12", 3, -1, B_OK, B_OK, 3, 6},
        {"not ours", "JUNK1234", 0, -1, B_OK, B_NO_TRANSLATOR, 0, -1},
        {"size unknown", "FILE1234", 0, -1, B_IO_ERROR, B_IO_ERROR, 0, -1},
        {"stream ends before the file", "xyzFILE12", 3, 2, B_OK, B_IO_ERROR, 3, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SizedIO io(reinterpret_cast<const uint8*>(c.bytes), strlen(c.bytes), c.claimedSize,
                   c.sizeError);
        ASSERT_EQ(io.Seek(c.position, SEEK_SET), c.position);
        off_t start = -1, length = -1;
        EXPECT_EQ(BPrivate::open_stream_file(&io, check_magic, &start, &length), c.expected);
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(length, c.length);
        if (c.expected == B_OK) {
            // Left where the check left it.
            EXPECT_EQ(io.Position(), c.position + 4);
        }
    }
}

} // namespace
