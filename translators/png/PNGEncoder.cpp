#include "PNG.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <deque>
#include <future>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include <png.h>
#include <zlib.h>

#include <string>

#include <TranslationDefs.h>

#include "PNGErrors.h"
#include "translation/BaseTranslator.h"
#include "translation/PixelRows.h"

// The writing half. An interlaced picture goes through libpng, which needs
// every row at once for Adam7. One that is not interlaced is written without
// libpng: its rows are cut into bands, and each band is filtered and
// deflated on a thread of its own. Every band's deflate stream starts from
// the last 32 KiB of the band before it as a preset dictionary and ends on a
// byte boundary (a sync flush), so the bands joined in order are one zlib
// stream, as compact as one written in a single pass, and their checksums
// combine into the stream's.
// The rows are filtered the way libpng's adaptive filtering does it: each row
// takes the filter whose output has the smallest sum of absolute values.

namespace {

const uint8 kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
const size_t kWindow = 32768;
const size_t kBandBytes = 1 << 20; // the raw pixels each thread takes at a time

status_t write_chunk(BPositionIO* destination, const char* type, const uint8* data, size_t length);

// The metadata chunks, which go between the header and the image data. The
// profile is deflated, as iCCP requires; XMP goes in an uncompressed iTXt
// chunk, as other programs expect to find it.
status_t write_metadata(BPositionIO* destination, const BPrivate::PictureMetadata* metadata)
{
    if (metadata == nullptr)
        return B_OK;
    status_t status = B_OK;
    if (!metadata->icc.empty()) {
        static const char kName[] = "ICC Profile";
        uLongf packed = compressBound(uLong(metadata->icc.size()));
        std::vector<uint8> chunk(sizeof(kName) + 1 + packed);
        memcpy(chunk.data(), kName, sizeof(kName));
        chunk[sizeof(kName)] = 0; // deflate
        if (compress2(chunk.data() + sizeof(kName) + 1, &packed,
                      reinterpret_cast<const Bytef*>(metadata->icc.data()),
                      uLong(metadata->icc.size()), Z_BEST_COMPRESSION) == Z_OK)
            status = write_chunk(destination, "iCCP", chunk.data(), sizeof(kName) + 1 + packed);
    }
    if (status == B_OK && !metadata->exif.empty())
        status =
            write_chunk(destination, "eXIf", reinterpret_cast<const uint8*>(metadata->exif.data()),
                        metadata->exif.size());
    if (status == B_OK && !metadata->xmp.empty()) {
        // Keyword, compression flag and method, empty language and
        // translated keyword, then the text.
        std::string chunk("XML:com.adobe.xmp\0\0\0\0\0", 22);
        chunk += metadata->xmp;
        status = write_chunk(destination, "iTXt", reinterpret_cast<const uint8*>(chunk.data()),
                             chunk.size());
    }
    return status;
}

void put32(uint8* out, uint32 value)
{
    out[0] = uint8(value >> 24);
    out[1] = uint8(value >> 16);
    out[2] = uint8(value >> 8);
    out[3] = uint8(value);
}

status_t write_chunk(BPositionIO* destination, const char* type, const uint8* data, size_t length)
{
    uint8 head[8];
    put32(head, uint32(length));
    memcpy(head + 4, type, 4);
    uLong crc = crc32(0, head + 4, 4);
    if (length > 0)
        crc = crc32_z(crc, data, length);
    uint8 tail[4];
    put32(tail, uint32(crc));
    status_t status = destination->WriteExactly(head, sizeof(head));
    if (status == B_OK && length > 0)
        status = destination->WriteExactly(data, length);
    if (status == B_OK)
        status = destination->WriteExactly(tail, sizeof(tail));
    return status == B_ERROR ? status_t(B_IO_ERROR) : status;
}

inline uint8 paeth(int a, int b, int c)
{
    int p = a + b - c;
    int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return uint8(a);
    return uint8(pb <= pc ? b : c);
}

inline uint32 weight(const uint8* row, size_t length)
{
    uint32 sum = 0;
    for (size_t i = 0; i < length; i++)
        sum += row[i] < 128 ? row[i] : 256 - row[i];
    return sum;
}

// Filters one row of length bytes (pixels of bpp bytes) against the row
// above (zeros for the first row) into out, its filter byte first. candidate
// is scratch space of length bytes.
void filter_row(const uint8* row, const uint8* above, size_t length, size_t bpp, int level,
                uint8* out, uint8* candidate)
{
    out[0] = 0;
    memcpy(out + 1, row, length);
    if (level == 0)
        return;
    uint32 best = weight(out + 1, length);

    auto consider = [&](uint8 type) {
        uint32 sum = weight(candidate, length);
        if (sum < best) {
            best = sum;
            out[0] = type;
            memcpy(out + 1, candidate, length);
        }
    };

    for (size_t i = 0; i < bpp; i++)
        candidate[i] = row[i];
    for (size_t i = bpp; i < length; i++)
        candidate[i] = uint8(row[i] - row[i - bpp]);
    consider(1);

    for (size_t i = 0; i < length; i++)
        candidate[i] = uint8(row[i] - above[i]);
    consider(2);

    for (size_t i = 0; i < bpp; i++)
        candidate[i] = uint8(row[i] - (above[i] >> 1));
    for (size_t i = bpp; i < length; i++)
        candidate[i] = uint8(row[i] - ((row[i - bpp] + above[i]) >> 1));
    consider(3);

    for (size_t i = 0; i < bpp; i++)
        candidate[i] = uint8(row[i] - paeth(0, above[i], 0));
    for (size_t i = bpp; i < length; i++)
        candidate[i] = uint8(row[i] - paeth(row[i - bpp], above[i], above[i - bpp]));
    consider(4);
}

struct Band
{
    // Raw pixel rows as PNG orders them: the context rows that the band
    // before ends with (for the dictionary and the first row's filter),
    // then the band's own.
    std::vector<uint8> raw;
    uint32 contextRows = 0;
    uint32 rows = 0;
    bool last = false;

    std::vector<uint8> compressed;
    uLong adler = 1;
    size_t filteredLength = 0;
    status_t status = B_OK;
};

struct Layout
{
    size_t lineBytes; // without the filter byte
    size_t bpp;
    int level;
};

// Filters the context rows and the band's rows, then deflates the band's
// with the context's as dictionary.
void compress_band(Band* band, const Layout& layout)
{
    try {
        size_t line = layout.lineBytes;
        size_t total = size_t(band->contextRows) + band->rows;
        std::vector<uint8> filtered(total * (line + 1));
        std::vector<uint8> zeros(line, 0), candidate(line);
        for (size_t r = 0; r < total; r++) {
            // The first context row only serves as the row above.
            const uint8* above = r == 0 ? zeros.data() : band->raw.data() + (r - 1) * line;
            filter_row(band->raw.data() + r * line, above, line, layout.bpp, layout.level,
                       filtered.data() + r * (line + 1), candidate.data());
        }
        size_t skip = band->contextRows > 0 ? size_t(band->contextRows - 1) * (line + 1) : 0;
        // The dictionary is what the band before ended with: filtered rows
        // 1..contextRows-1 of the context (row 0 had no row above here).
        size_t dictionaryStart = band->contextRows > 0 ? line + 1 : 0;
        const uint8* own = filtered.data() + skip + (band->contextRows > 0 ? line + 1 : 0);
        size_t ownLength = size_t(band->rows) * (line + 1);
        band->filteredLength = ownLength;
        band->adler = adler32_z(1, own, ownLength);

        z_stream z = {};
        if (deflateInit2(&z, layout.level, Z_DEFLATED, -15, 8,
                         layout.level > 0 ? Z_FILTERED : Z_DEFAULT_STRATEGY) != Z_OK) {
            band->status = B_NO_MEMORY;
            return;
        }
        size_t dictionaryLength = own - (filtered.data() + dictionaryStart);
        if (dictionaryLength > kWindow) {
            dictionaryStart += dictionaryLength - kWindow;
            dictionaryLength = kWindow;
        }
        if (dictionaryLength > 0)
            deflateSetDictionary(&z, filtered.data() + dictionaryStart, uInt(dictionaryLength));
        band->compressed.resize(deflateBound(&z, ownLength) + 64);
        z.next_in = const_cast<uint8*>(own);
        z.avail_in = uInt(ownLength);
        int flush = band->last ? Z_FINISH : Z_SYNC_FLUSH;
        bool done = false;
        for (;;) {
            z.next_out = band->compressed.data() + z.total_out;
            z.avail_out = uInt(band->compressed.size() - z.total_out);
            int result = deflate(&z, flush);
            done = band->last ? result == Z_STREAM_END
                              : result == Z_OK && z.avail_in == 0 && z.avail_out > 0;
            if (done || (result != Z_OK && result != Z_BUF_ERROR))
                break;
            // Out of room before the end: grow and go on.
            band->compressed.resize(band->compressed.size() * 2);
        }
        band->compressed.resize(z.total_out);
        deflateEnd(&z);
        band->status = done ? B_OK : B_ERROR;
    } catch (const std::bad_alloc&) {
        band->status = B_NO_MEMORY;
    }
}

uint8 zlib_flags(int level)
{
    // The header's level hint (FLEVEL), with FCHECK making it a multiple of 31.
    int hint = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    int header = (0x78 << 8) | (hint << 6);
    header += 31 - header % 31;
    return uint8(header & 0xff);
}

struct WriteContext
{
    BPositionIO* destination;
    status_t error;
};

void write_data(png_structp png, png_bytep data, size_t length)
{
    WriteContext* context = static_cast<WriteContext*>(png_get_io_ptr(png));
    status_t status = context->destination->WriteExactly(data, length);
    if (status != B_OK) {
        context->error = status == B_ERROR ? status_t(B_IO_ERROR) : status;
        png_longjmp(png, 1);
    }
}

void flush_data(png_structp) {}

// Encodes an interlaced picture: Adam7 needs every row at once. Called
// inside the setjmp frame; *buffer is whatever this allocated, for the
// caller to free after a jump.
status_t write_interlaced(png_structp png, uint32 width, uint32 height,
                          BPrivate::BitsRowSource* source, uint8* volatile* buffer)
{
    png_bytep* rows = make_block(size_t(width) * 4, height, 0, buffer);
    if (rows == nullptr)
        return B_NO_MEMORY;
    status_t status = source->GetRows(rows[0], height);
    if (status == B_OK)
        png_write_image(png, rows);
    return status;
}

} // namespace

status_t png_encode_bands(BPrivate::BitsRowSource* source, uint32 width, uint32 height,
                          bool hasAlpha, int32 level, BPositionIO* destination,
                          const BPrivate::PictureMetadata* metadata)
{
    Layout layout;
    layout.bpp = hasAlpha ? 4 : 3;
    layout.lineBytes = size_t(width) * layout.bpp;
    layout.level = level;
    size_t pixelRow = size_t(width) * 4;
    uint32 bandRows = uint32(std::clamp<size_t>(kBandBytes / pixelRow, 8, height));
    // Enough rows before each band to fill the deflate window, and one more
    // as the row above the first of them.
    uint32 contextRows = uint32(std::min<size_t>(kWindow / (layout.lineBytes + 1) + 2, height));
    unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);

    uint8 header[13];
    put32(header, width);
    put32(header + 4, height);
    header[8] = 8;
    header[9] = hasAlpha ? 6 : 2;
    header[10] = header[11] = header[12] = 0;
    status_t status = destination->WriteExactly(kSignature, sizeof(kSignature));
    if (status == B_OK)
        status = write_chunk(destination, "IHDR", header, sizeof(header));
    if (status == B_OK)
        status = write_metadata(destination, metadata);
    if (status != B_OK)
        return status == B_ERROR ? status_t(B_IO_ERROR) : status;

    std::vector<uint8> pixels;
    std::vector<uint8> tail; // the last context rows read, in PNG order
    uint32 tailRows = 0;
    try {
        pixels.resize(size_t(bandRows) * pixelRow);
    } catch (const std::bad_alloc&) {
        return B_NO_MEMORY;
    }

    std::deque<std::pair<std::unique_ptr<Band>, std::future<void>>> running;
    uLong adler = 1;
    bool first = true;

    // Writes the oldest band's output once it is done.
    auto finish_oldest = [&]() -> status_t {
        auto& [band, done] = running.front();
        done.wait();
        status_t result = band->status;
        if (result == B_OK) {
            std::vector<uint8>& out = band->compressed;
            if (first) {
                uint8 zlibHeader[2] = {0x78, zlib_flags(layout.level)};
                out.insert(out.begin(), zlibHeader, zlibHeader + 2);
                first = false;
            }
            adler = adler32_combine(adler, band->adler, z_off_t(band->filteredLength));
            if (band->last) {
                uint8 check[4];
                put32(check, uint32(adler));
                out.insert(out.end(), check, check + 4);
            }
            result = write_chunk(destination, "IDAT", out.data(), out.size());
        }
        running.pop_front();
        return result;
    };

    for (uint32 y = 0; y < height && status == B_OK;) {
        uint32 count = std::min(bandRows, height - y);
        status = source->GetRows(pixels.data(), count);
        if (status != B_OK)
            break;
        auto band = std::make_unique<Band>();
        try {
            band->raw.resize((size_t(tailRows) + count) * layout.lineBytes);
        } catch (const std::bad_alloc&) {
            status = B_NO_MEMORY;
            break;
        }
        if (tailRows > 0)
            memcpy(band->raw.data(), tail.data(), size_t(tailRows) * layout.lineBytes);
        uint8* own = band->raw.data() + size_t(tailRows) * layout.lineBytes;
        if (hasAlpha)
            BPrivate::rgba_to_bgra(pixels.data(), own, size_t(count) * width);
        else
            BPrivate::bgrx_to_rgb24(pixels.data(), own, size_t(count) * width);
        band->contextRows = tailRows;
        band->rows = count;
        y += count;
        band->last = y == height;

        // The next band's context: the last rows of this one, with those
        // before it when this band is shorter than the context.
        size_t keep = std::min<size_t>(contextRows, size_t(tailRows) + count);
        tail.assign(band->raw.end() - keep * layout.lineBytes, band->raw.end());
        tailRows = uint32(keep);

        Band* job = band.get();
        running.emplace_back(std::move(band),
                             std::async(std::launch::async, compress_band, job, layout));
        while (running.size() > threads && status == B_OK)
            status = finish_oldest();
    }
    while (!running.empty()) {
        status_t result = finish_oldest();
        if (status == B_OK)
            status = result;
    }
    if (status != B_OK)
        return status;
    return write_chunk(destination, "IEND", nullptr, 0);
}

status_t png_encode(BPrivate::BitsRowSource* source, uint32 width, uint32 height, bool hasAlpha,
                    const PNGWriteOptions& options, BPositionIO* destination)
{
    if (BPrivate::check_decoded_size(width, height) != B_OK)
        return B_BAD_VALUE;
    int level = options.compression < 0 ? 0 : options.compression > 9 ? 9 : options.compression;
    if (!options.interlaced)
        return png_encode_bands(source, width, height, hasAlpha, level, destination,
                                options.metadata);

    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, error_exit, quiet_warning);
    if (png == nullptr)
        return B_NO_MEMORY;
    png_infop pngInfo = png_create_info_struct(png);
    if (pngInfo == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return B_NO_MEMORY;
    }

    WriteContext context = {destination, B_OK};
    uint8* volatile buffer = nullptr;
    volatile status_t result = B_ERROR;

    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_write_fn(png, &context, write_data, flush_data);
        png_set_compression_level(png, level);
        // Filters only cost time when nothing is compressed.
        if (level == 0)
            png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
        png_set_IHDR(png, pngInfo, width, height, 8,
                     hasAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_ADAM7,
                     PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
        png_write_info(png, pngInfo);
        // libpng writes straight through to the destination: the chunks go
        // after the header it wrote and before any image data.
        status_t written = write_metadata(destination, options.metadata);
        if (written != B_OK) {
            context.error = written;
            png_error(png, "metadata");
        }
        png_set_bgr(png);
        if (!hasAlpha)
            png_set_filler(png, 0, PNG_FILLER_AFTER);
        png_set_interlace_handling(png);
        status_t status = write_interlaced(png, width, height, source, &buffer);
        if (status == B_OK)
            png_write_end(png, pngInfo);
        result = status;
    } else {
        result = context.error != B_OK ? context.error : B_ERROR;
    }
    png_destroy_write_struct(&png, &pngInfo);
    delete[] buffer;
    return result;
}
