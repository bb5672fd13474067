#include <Bitmap.h>
#include <BitmapStream.h>
#include <TranslationDefs.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

void put_be32(uint8* out, uint32 value)
{
    out[0] = value >> 24;
    out[1] = value >> 16;
    out[2] = value >> 8;
    out[3] = value;
}

void put_float(uint8* out, float value)
{
    uint32 bits;
    memcpy(&bits, &value, 4);
    put_be32(out, bits);
}

struct HeaderFields
{
    uint32 magic = B_TRANSLATOR_BITMAP;
    float left = 0, top = 0, right = 3, bottom = 1;
    uint32 rowBytes = 16;
    uint32 colors = B_RGB32;
    uint32 dataSize = 32;
};

// The header of a B_RGB32 picture of width x height without padding.
HeaderFields fields_for(int32 width, int32 height)
{
    HeaderFields fields;
    fields.right = width - 1;
    fields.bottom = height - 1;
    fields.rowBytes = width * 4;
    fields.dataSize = width * 4 * height;
    return fields;
}

std::vector<uint8> header_bytes(const HeaderFields& h)
{
    std::vector<uint8> bytes(32);
    put_be32(&bytes[0], h.magic);
    put_float(&bytes[4], h.left);
    put_float(&bytes[8], h.top);
    put_float(&bytes[12], h.right);
    put_float(&bytes[16], h.bottom);
    put_be32(&bytes[20], h.rowBytes);
    put_be32(&bytes[24], h.colors);
    put_be32(&bytes[28], h.dataSize);
    return bytes;
}

BBitmap* make_bitmap(int32 width, int32 height)
{
    BBitmap* bitmap = new BBitmap(BRect(0, 0, width - 1, height - 1), B_RGB32);
    uint32* pixels = (uint32*)bitmap->Bits();
    for (int32 i = 0; i < width * height; i++)
        pixels[i] = 0xff000000u | (i * 0x010203u);
    return bitmap;
}

} // namespace

TEST(BitmapStream, ReadsHeaderThenRows)
{
    BBitmap* bitmap = make_bitmap(4, 2);
    std::vector<uint8> expectedPixels((uint8*)bitmap->Bits(), (uint8*)bitmap->Bits() + 32);
    BBitmapStream stream(bitmap);
    EXPECT_EQ(stream.Size(), 64);

    std::vector<uint8> all(100);
    ASSERT_EQ(stream.Read(all.data(), all.size()), 64);
    HeaderFields fields;
    EXPECT_EQ(std::vector<uint8>(all.begin(), all.begin() + 32), header_bytes(fields));
    EXPECT_EQ(std::vector<uint8>(all.begin() + 32, all.begin() + 64), expectedPixels);
    EXPECT_EQ(stream.Position(), 64);
    EXPECT_EQ(stream.Read(all.data(), 10), 0);
}

TEST(BitmapStream, WritingAtAnOffsetChangesPixels)
{
    BBitmapStream stream(make_bitmap(4, 2));
    const uint8 red[4] = {0, 0, 255, 255};
    // Pixel (1, 1) is the sixth pixel of the rows.
    ASSERT_EQ(stream.WriteAt(32 + 5 * 4, red, 4), 4);
    BBitmap* bitmap = nullptr;
    ASSERT_EQ(stream.DetachBitmap(&bitmap), B_OK);
    EXPECT_EQ(((uint32*)bitmap->Bits())[5], 0xffff0000u);
    delete bitmap;
}

TEST(BitmapStream, RoundTripThroughAnEmptyStream)
{
    BBitmapStream source(make_bitmap(4, 2));
    std::vector<uint8> bytes(64);
    ASSERT_EQ(source.Read(bytes.data(), bytes.size()), 64);

    // The bytes arrive in uneven pieces, the header split across writes.
    BBitmapStream copy;
    const size_t pieces[] = {3, 20, 13, 1, 27};
    size_t at = 0;
    for (size_t piece : pieces) {
        ASSERT_EQ(copy.Write(bytes.data() + at, piece), (ssize_t)piece) << "at " << at;
        at += piece;
    }
    ASSERT_EQ(at, bytes.size());
    EXPECT_EQ(copy.Size(), 64);

    BBitmap* bitmap = nullptr;
    ASSERT_EQ(copy.DetachBitmap(&bitmap), B_OK);
    EXPECT_EQ(bitmap->Bounds(), BRect(0, 0, 3, 1));
    EXPECT_EQ(bitmap->ColorSpace(), B_RGB32);
    EXPECT_EQ(memcmp(bitmap->Bits(), bytes.data() + 32, 32), 0);
    delete bitmap;
}

TEST(BitmapStream, HeaderWrittenOutOfOrder)
{
    std::vector<uint8> header = header_bytes(HeaderFields());
    BBitmapStream stream;
    ASSERT_EQ(stream.WriteAt(16, header.data() + 16, 16), 16);
    EXPECT_EQ(stream.Size(), 0);
    ASSERT_EQ(stream.WriteAt(0, header.data(), 16), 16);
    EXPECT_EQ(stream.Size(), 64);
}

TEST(BitmapStream, SeekModes)
{
    BBitmapStream stream(make_bitmap(4, 2));
    EXPECT_EQ(stream.Seek(10, SEEK_SET), 10);
    EXPECT_EQ(stream.Seek(5, SEEK_CUR), 15);
    EXPECT_EQ(stream.Seek(-4, SEEK_END), 60);
    EXPECT_EQ(stream.Position(), 60);
    uint8 last[8];
    EXPECT_EQ(stream.Read(last, sizeof(last)), 4);
    EXPECT_LT(stream.Seek(-100, SEEK_CUR), 0);
    EXPECT_EQ(stream.Position(), 64);
    off_t size = 0;
    EXPECT_EQ(stream.GetSize(&size), B_OK);
    EXPECT_EQ(size, 64);
}

TEST(BitmapStream, DetachTwiceFails)
{
    BBitmapStream stream(make_bitmap(2, 2));
    BBitmap* bitmap = nullptr;
    ASSERT_EQ(stream.DetachBitmap(&bitmap), B_OK);
    BBitmap* again = nullptr;
    EXPECT_EQ(stream.DetachBitmap(&again), B_ERROR);
    EXPECT_EQ(again, nullptr);
    delete bitmap;

    BBitmapStream empty;
    EXPECT_EQ(empty.DetachBitmap(&again), B_ERROR);
}

TEST(BitmapStream, RowsBeforeHeaderAreRefused)
{
    BBitmapStream stream;
    uint8 row[16] = {};
    EXPECT_LT(stream.WriteAt(32, row, sizeof(row)), 0);
    EXPECT_EQ(stream.Size(), 0);
}

TEST(BitmapStream, WritesPastTheEndStop)
{
    BBitmapStream stream(make_bitmap(4, 2));
    uint8 data[16] = {};
    EXPECT_EQ(stream.WriteAt(56, data, sizeof(data)), 8);
    EXPECT_LT(stream.WriteAt(64, data, sizeof(data)), 0);
}

TEST(BitmapStream, PaddedStreamRowsLandInPackedBitmapRows)
{
    // Rows of 24 bytes in the stream for a 4-pixel bitmap whose rows are 16.
    HeaderFields fields;
    fields.rowBytes = 24;
    fields.dataSize = 48;
    std::vector<uint8> bytes = header_bytes(fields);
    for (int row = 0; row < 2; row++) {
        for (int i = 0; i < 24; i++)
            bytes.push_back(i < 16 ? (uint8)(row * 16 + i) : 0xee);
    }
    BBitmapStream stream;
    ASSERT_EQ(stream.Write(bytes.data(), bytes.size()), (ssize_t)bytes.size());
    BBitmap* bitmap = nullptr;
    ASSERT_EQ(stream.DetachBitmap(&bitmap), B_OK);
    ASSERT_EQ(bitmap->BytesPerRow(), 16);
    for (int i = 0; i < 32; i++)
        EXPECT_EQ(((uint8*)bitmap->Bits())[i], i) << i;
    delete bitmap;
}

TEST(BitmapStream, BadHeadersAreRefused)
{
    struct Case
    {
        const char* what;
        HeaderFields fields;
    };
    std::vector<Case> cases;
    auto add = [&](const char* what, auto change) {
        HeaderFields fields;
        change(fields);
        cases.push_back({what, fields});
    };
    add("wrong magic", [](HeaderFields& h) { h.magic = 'bitz'; });
    add("infinite bounds", [](HeaderFields& h) { h.right = INFINITY; });
    add("not a number", [](HeaderFields& h) { h.bottom = NAN; });
    add("left past right", [](HeaderFields& h) { h.left = 5; });
    add("top past bottom", [](HeaderFields& h) { h.top = 2; });
    add("rows too short", [](HeaderFields& h) {
        h.rowBytes = 12;
        h.dataSize = 24;
    });
    add("data size not rows x height", [](HeaderFields& h) { h.dataSize = 31; });
    add("unknown colour space", [](HeaderFields& h) { h.colors = 0x7777; });
    add("overflowing size", [](HeaderFields& h) {
        h.right = 65535;
        h.bottom = 65535;
        h.rowBytes = 65536 * 4;
        h.dataSize = 0;
    });
    add("over the pixel limit", [](HeaderFields& h) {
        h.right = 16383;
        h.bottom = 16384;
        h.rowBytes = 16384 * 4;
        h.dataSize = 16384u * 4 * 16385;
    });
    add("fractional bounds", [](HeaderFields& h) { h.right = 3.5f; });

    for (const Case& c : cases) {
        BBitmapStream stream;
        std::vector<uint8> header = header_bytes(c.fields);
        EXPECT_EQ(stream.Write(header.data(), header.size()), B_BAD_VALUE) << c.what;
        EXPECT_EQ(stream.Size(), 0) << c.what;
        BBitmap* bitmap = nullptr;
        EXPECT_EQ(stream.DetachBitmap(&bitmap), B_ERROR) << c.what;
    }
}

// Resident memory of the process, in kilobytes.
static long resident_kb()
{
    FILE* status = fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long kb = -1;
    while (fgets(line, sizeof(line), status)) {
        if (sscanf(line, "VmRSS: %ld kB", &kb) == 1)
            break;
    }
    fclose(status);
    return kb;
}

TEST(BitmapStream, RowsThatNeverArriveGiveNoBitmap)
{
    // A 16384 x 16383 header, just under the pixel limit, with some or none
    // of its rows: there is no bitmap to detach or read, and the stream holds
    // no more than the bytes that came.
    HeaderFields big;
    big.right = 16383;
    big.bottom = 16382;
    big.rowBytes = 16384 * 4;
    big.dataSize = 16384u * 4 * 16383;
    const size_t sent[] = {0, 1, 16384 * 4, 3 * 16384 * 4 + 5};
    for (size_t rowBytes : sent) {
        long before = resident_kb();
        BBitmapStream stream;
        std::vector<uint8> bytes = header_bytes(big);
        bytes.resize(bytes.size() + rowBytes, 0xab);
        ASSERT_EQ(stream.Write(bytes.data(), bytes.size()), (ssize_t)bytes.size()) << rowBytes;
        EXPECT_LT(resident_kb() - before, 64 * 1024) << rowBytes;
        uint8 first[8];
        EXPECT_LT(stream.ReadAt(0, first, sizeof(first)), 0) << rowBytes;
        BBitmap* bitmap = nullptr;
        EXPECT_EQ(stream.DetachBitmap(&bitmap), B_ERROR) << rowBytes;
        EXPECT_EQ(bitmap, nullptr);
    }

    // A small stream one byte short, then complete.
    std::vector<uint8> bytes = header_bytes(HeaderFields());
    bytes.resize(64, 0x5a);
    BBitmapStream stream;
    ASSERT_EQ(stream.Write(bytes.data(), 63), 63);
    BBitmap* bitmap = nullptr;
    EXPECT_EQ(stream.DetachBitmap(&bitmap), B_ERROR);
    ASSERT_EQ(stream.Write(bytes.data() + 63, 1), 1);
    ASSERT_EQ(stream.DetachBitmap(&bitmap), B_OK);
    EXPECT_EQ(((uint8*)bitmap->Bits())[31], 0x5a);
    delete bitmap;
}

TEST(BitmapStream, RowsInAnyOrderCompleteTheBitmap)
{
    // Bottom-up writers (Targa, BMP) and pieces that straddle the stream's
    // internal pieces: the bitmap is whole once every byte has come.
    const int32 width = 1024, height = 2100; // rows over two 4 MB pieces
    HeaderFields fields = fields_for(width, height);
    std::vector<uint8> rows((size_t)fields.dataSize);
    for (size_t i = 0; i < rows.size(); i++)
        rows[i] = (uint8)(i * 7 + i / 4096);
    struct
    {
        const char* what;
        bool bottomUp;
        size_t piece;
    } cases[] = {{"top down in odd pieces", false, 4093}, {"bottom up by rows", true, width * 4}};
    for (auto& c : cases) {
        BBitmapStream stream;
        std::vector<uint8> header = header_bytes(fields);
        ASSERT_EQ(stream.Write(header.data(), header.size()), 32);
        size_t total = rows.size();
        for (size_t done = 0; done < total; done += c.piece) {
            size_t length = std::min(c.piece, total - done);
            size_t at = c.bottomUp ? total - done - length : done;
            BBitmap* early = nullptr;
            if (done > 0) {
                ASSERT_EQ(stream.DetachBitmap(&early), B_ERROR) << c.what;
            }
            ASSERT_EQ(stream.WriteAt(32 + at, rows.data() + at, length), (ssize_t)length) << c.what;
        }
        BBitmap* bitmap = nullptr;
        ASSERT_EQ(stream.DetachBitmap(&bitmap), B_OK) << c.what;
        EXPECT_EQ(memcmp(bitmap->Bits(), rows.data(), rows.size()), 0) << c.what;
        delete bitmap;
    }
}

TEST(BitmapStream, StretchesWithGapsCompleteTheBitmap)
{
    // Every other stretch first, then the ones between: the bitmap is made
    // while gaps remain, and only the last byte makes it whole. The odd
    // stretch length makes stretches straddle the stream's internal pieces.
    const int32 width = 1024, height = 4200;
    HeaderFields fields = fields_for(width, height);
    std::vector<uint8> rows((size_t)fields.dataSize);
    for (size_t i = 0; i < rows.size(); i++)
        rows[i] = (uint8)(i * 13 + i / 65536);
    const size_t stretch = 1000003;
    std::vector<size_t> order;
    for (size_t at = 0; at < rows.size(); at += 2 * stretch)
        order.push_back(at);
    for (size_t at = stretch; at < rows.size(); at += 2 * stretch)
        order.push_back(at);

    BBitmapStream stream;
    std::vector<uint8> header = header_bytes(fields);
    ASSERT_EQ(stream.Write(header.data(), header.size()), 32);
    for (size_t at : order) {
        BBitmap* early = nullptr;
        ASSERT_EQ(stream.DetachBitmap(&early), B_ERROR) << at;
        uint8 first[4];
        ASSERT_LT(stream.ReadAt(32, first, sizeof(first)), 0) << at;
        size_t length = std::min(stretch, rows.size() - at);
        ASSERT_EQ(stream.WriteAt(32 + at, rows.data() + at, length), (ssize_t)length) << at;
    }
    std::vector<uint8> back(64);
    ASSERT_EQ(stream.ReadAt(32 + 4096, back.data(), back.size()), 64);
    EXPECT_EQ(memcmp(back.data(), rows.data() + 4096, back.size()), 0);
    BBitmap* bitmap = nullptr;
    ASSERT_EQ(stream.DetachBitmap(&bitmap), B_OK);
    EXPECT_EQ(memcmp(bitmap->Bits(), rows.data(), rows.size()), 0);
    delete bitmap;
}

TEST(BitmapStream, RewritingRowsBeforeTheEndDoesNotCompleteIt)
{
    // Bytes written twice count once: a writer that goes over its first rows
    // again has not delivered the rest.
    const int32 width = 1024, height = 2100;
    HeaderFields fields = fields_for(width, height);
    std::vector<uint8> rows((size_t)fields.dataSize, 0x42);
    BBitmapStream stream;
    std::vector<uint8> header = header_bytes(fields);
    ASSERT_EQ(stream.Write(header.data(), header.size()), 32);
    size_t most = rows.size() - width * 4;
    for (int pass = 0; pass < 3; pass++)
        ASSERT_EQ(stream.WriteAt(32, rows.data(), most), (ssize_t)most);
    BBitmap* bitmap = nullptr;
    EXPECT_EQ(stream.DetachBitmap(&bitmap), B_ERROR);
    ASSERT_EQ(stream.WriteAt(32 + most, rows.data(), width * 4), width * 4);
    ASSERT_EQ(stream.DetachBitmap(&bitmap), B_OK);
    EXPECT_EQ(((uint8*)bitmap->Bits())[rows.size() - 1], 0x42);
    delete bitmap;
}
