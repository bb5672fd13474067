#include "PPM.h"

#include "translation/BaseTranslator.h"
#include "translation/PixelRows.h"
#include "translation/StreamReader.h"

#include <cstring>
#include <vector>

using BPrivate::StreamReader;

namespace ppm {

const char* const kSettingFormat = "ppm /format";

namespace {

bool is_space(uint8 c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads a decimal number, skipping white space and comments before it.
// Stops after the first character that follows the digits.
status_t read_number(StreamReader& reader, uint32 limit, uint32* value)
{
    uint8 c = reader.Byte();
    while (reader.Status() == B_OK && (is_space(c) || c == '#')) {
        if (c == '#') {
            while (reader.Status() == B_OK && c != '\n' && c != '\r')
                c = reader.Byte();
        }
        c = reader.Byte();
    }
    if (reader.Status() != B_OK)
        return reader.Status();
    if (c < '0' || c > '9')
        return B_BAD_VALUE;
    uint64 number = 0;
    while (reader.Status() == B_OK && c >= '0' && c <= '9') {
        number = number * 10 + (c - '0');
        if (number > limit)
            return B_BAD_VALUE;
        c = reader.Byte();
    }
    // The end of the data may end the last number.
    if (reader.Status() == B_ILLEGAL_DATA)
        c = ' ';
    else if (reader.Status() != B_OK)
        return reader.Status();
    if (!is_space(c) && c != '#')
        return B_BAD_VALUE;
    if (c == '#') {
        while (reader.Status() == B_OK && c != '\n' && c != '\r')
            c = reader.Byte();
    }
    *value = (uint32)number;
    return B_OK;
}

status_t parse_header(StreamReader& reader, Header* header)
{
    uint8 magic[2];
    if (reader.Read(magic, 2) != B_OK || magic[0] != 'P')
        return B_NO_TRANSLATOR;
    if (magic[1] != '2' && magic[1] != '3' && magic[1] != '5' && magic[1] != '6')
        return B_NO_TRANSLATOR;
    uint8 next = reader.Byte();
    if (reader.Status() != B_OK || (!is_space(next) && next != '#'))
        return B_NO_TRANSLATOR;
    if (next == '#') {
        while (reader.Status() == B_OK && next != '\n' && next != '\r')
            next = reader.Byte();
    }
    header->kind = magic[1];
    status_t status = read_number(reader, INT32_MAX, &header->width);
    if (status == B_OK)
        status = read_number(reader, INT32_MAX, &header->height);
    if (status == B_OK)
        status = read_number(reader, 65535, &header->maxValue);
    if (status != B_OK)
        return status;
    if (header->width == 0 || header->height == 0 || header->maxValue == 0)
        return B_BAD_VALUE;
    return BPrivate::check_decoded_size(header->width, header->height);
}

} // namespace

status_t read_header(BPositionIO* source, Header* header)
{
    // Only a handful of bytes are needed; a small buffer keeps Identify cheap.
    StreamReader reader(source, 512);
    if (reader.InitCheck() != B_OK)
        return reader.InitCheck();
    return parse_header(reader, header);
}

status_t decode(BPositionIO* source, BPositionIO* destination)
{
    StreamReader reader(source);
    if (reader.InitCheck() != B_OK)
        return reader.InitCheck();
    Header header;
    status_t status = parse_header(reader, &header);
    if (status != B_OK)
        return status;

    bool color = header.kind == '3' || header.kind == '6';
    bool binary = header.kind == '5' || header.kind == '6';
    uint32 channels = color ? 3 : 1;
    uint32 sampleBytes = header.maxValue > 255 ? 2 : 1;
    size_t samplesPerRow = (size_t)header.width * channels;

    // Checking that the samples can be there avoids building a large picture
    // from a short file; a text sample takes at least a digit and a space.
    off_t available = BPrivate::remaining_stream_size(source);
    uint64 sampleCount = (uint64)samplesPerRow * header.height;
    uint64 needed = binary ? sampleCount * sampleBytes : sampleCount * 2 - 1;
    if (available >= 0 && (uint64)available + reader.Fill(0) < needed)
        return B_ILLEGAL_DATA;

    // Samples scale to 8 bits with rounding; binary samples past the maximum
    // count as the maximum.
    std::vector<uint8> scale(sampleBytes == 2 ? 65536 : 256, 255);
    for (uint32 v = 0; v <= header.maxValue; v++)
        scale[v] = (uint8)((v * 255 + header.maxValue / 2) / header.maxValue);

    status = BPrivate::write_bits_header(destination, header.width, header.height, B_RGB32);
    if (status != B_OK)
        return status;

    std::vector<uint8> raw(samplesPerRow * sampleBytes);
    std::vector<uint32> samples(samplesPerRow);
    std::vector<uint8> row((size_t)header.width * 4);
    for (uint32 y = 0; y < header.height; y++) {
        if (binary) {
            // Rows that fit the reader's buffer are read straight out of it.
            const uint8* in;
            if (reader.Fill(raw.size()) >= raw.size()) {
                in = reader.Peek();
                reader.Consume(raw.size());
            } else {
                status = reader.Read(raw.data(), raw.size());
                if (status != B_OK)
                    return status;
                in = raw.data();
            }
            if (color && header.maxValue == 255) {
                // Already 8-bit samples: only the byte order changes.
                BPrivate::rgb24_to_bgrx(in, row.data(), header.width);
                status = destination->WriteExactly(row.data(), row.size());
                if (status != B_OK)
                    return status;
                continue;
            }
            if (sampleBytes == 1) {
                for (size_t i = 0; i < samplesPerRow; i++)
                    samples[i] = scale[in[i]];
            } else {
                for (size_t i = 0; i < samplesPerRow; i++)
                    samples[i] = scale[(in[2 * i] << 8) | in[2 * i + 1]];
            }
        } else {
            for (size_t i = 0; i < samplesPerRow; i++) {
                uint32 value;
                status = read_number(reader, header.maxValue, &value);
                if (status != B_OK)
                    return status;
                samples[i] = scale[value];
            }
        }
        uint8* out = row.data();
        for (uint32 x = 0; x < header.width; x++, out += 4) {
            if (color) {
                out[0] = samples[3 * x + 2];
                out[1] = samples[3 * x + 1];
                out[2] = samples[3 * x];
            } else {
                out[0] = out[1] = out[2] = samples[x];
            }
            out[3] = 255;
        }
        status = destination->WriteExactly(row.data(), row.size());
        if (status != B_OK)
            return status;
    }
    return B_OK;
}

} // namespace ppm
