#include "PPM.h"

#include "translation/BaseTranslator.h"
#include "translation/PixelRows.h"
#include "translation/StreamReader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
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

// The PAM header after "P7": lines of a name and its value, up to ENDHDR.
status_t parse_pam_header(StreamReader& reader, Header* header)
{
    header->width = header->height = header->depth = header->maxValue = 0;
    std::string tupleType;
    std::string line;
    // A header that never ends is broken, not one to read for ever.
    for (int lines = 0; lines < 256; lines++) {
        line.clear();
        uint8 c = reader.Byte();
        while (reader.Status() == B_OK && c != '\n' && line.size() < 256) {
            line += char(c);
            c = reader.Byte();
        }
        if (reader.Status() != B_OK)
            return reader.Status();
        if (line.size() >= 256)
            return B_BAD_VALUE;
        size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#')
            continue;
        size_t end = line.find_first_of(" \t\r", start);
        std::string name = line.substr(start, end == std::string::npos ? end : end - start);
        std::string value;
        if (end != std::string::npos) {
            size_t from = line.find_first_not_of(" \t\r", end);
            size_t to = line.find_last_not_of(" \t\r");
            if (from != std::string::npos)
                value = line.substr(from, to + 1 - from);
        }
        if (name == "ENDHDR")
            break;
        if (name == "TUPLTYPE") {
            // Several lines make one type, joined by spaces.
            tupleType += tupleType.empty() ? value : " " + value;
            continue;
        }
        uint32* field = name == "WIDTH"    ? &header->width
                        : name == "HEIGHT" ? &header->height
                        : name == "DEPTH"  ? &header->depth
                        : name == "MAXVAL" ? &header->maxValue
                                           : nullptr;
        if (field == nullptr)
            return B_BAD_VALUE;
        char* after = nullptr;
        errno = 0;
        unsigned long number = strtoul(value.c_str(), &after, 10);
        if (value.empty() || *after != '\0' || errno != 0 || value[0] == '-' || number > INT32_MAX)
            return B_BAD_VALUE;
        *field = uint32(number);
    }
    if (header->width == 0 || header->height == 0 || header->maxValue == 0 ||
        header->maxValue > 65535 || header->depth == 0)
        return B_BAD_VALUE;

    // The standard tuple types, with their depths; without one, the depth
    // alone says what the samples are, as Netpbm's own tools take it.
    struct Type
    {
        const char* name;
        uint32 depth;
        bool alpha;
    } const types[] = {
        {"BLACKANDWHITE", 1, false},      {"GRAYSCALE", 1, false},      {"RGB", 3, false},
        {"BLACKANDWHITE_ALPHA", 2, true}, {"GRAYSCALE_ALPHA", 2, true}, {"RGB_ALPHA", 4, true},
    };
    if (tupleType.empty()) {
        if (header->depth > 4)
            return B_NOT_SUPPORTED;
        header->alpha = header->depth == 2 || header->depth == 4;
        return B_OK;
    }
    for (const Type& type : types) {
        if (tupleType == type.name) {
            if (header->depth != type.depth)
                return B_BAD_VALUE;
            header->alpha = type.alpha;
            return B_OK;
        }
    }
    return B_NOT_SUPPORTED;
}

status_t parse_header(StreamReader& reader, Header* header)
{
    uint8 magic[2];
    if (reader.Read(magic, 2) != B_OK || magic[0] != 'P')
        return B_NO_TRANSLATOR;
    if (magic[1] < '1' || magic[1] > '7')
        return B_NO_TRANSLATOR;
    uint8 next = reader.Byte();
    if (reader.Status() != B_OK || (!is_space(next) && next != '#'))
        return B_NO_TRANSLATOR;
    if (next == '#') {
        while (reader.Status() == B_OK && next != '\n' && next != '\r')
            next = reader.Byte();
    }
    header->kind = magic[1];
    header->alpha = false;
    status_t status;
    if (header->kind == '7') {
        // The magic's line ends before the first header line.
        if (next != '\n')
            return B_NO_TRANSLATOR;
        status = parse_pam_header(reader, header);
    } else {
        bool bitmap = header->kind == '1' || header->kind == '4';
        bool color = header->kind == '3' || header->kind == '6';
        header->depth = color ? 3 : 1;
        header->maxValue = 1;
        status = read_number(reader, INT32_MAX, &header->width);
        if (status == B_OK)
            status = read_number(reader, INT32_MAX, &header->height);
        if (status == B_OK && !bitmap)
            status = read_number(reader, 65535, &header->maxValue);
        if (status == B_OK && (header->width == 0 || header->height == 0 || header->maxValue == 0))
            status = B_BAD_VALUE;
    }
    if (status != B_OK)
        return status;
    return BPrivate::check_decoded_size(header->width, header->height);
}

// The next pixel of a plain PBM: one '0' or '1', with or without white space
// or comments between.
status_t read_bit(StreamReader& reader, uint32* value)
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
    if (c != '0' && c != '1')
        return B_BAD_VALUE;
    *value = c - '0';
    return B_OK;
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

    char kind = header.kind;
    bool text = kind == '1' || kind == '2' || kind == '3';
    bool packed = kind == '4';
    // PBM's 1 is black; in everything else the maximum is white.
    bool inverted = kind == '1' || kind == '4';
    uint32 channels = header.depth;
    bool color = channels >= 3;
    uint32 sampleBytes = header.maxValue > 255 ? 2 : 1;
    size_t samplesPerRow = (size_t)header.width * channels;
    size_t rawBytes = packed ? ((size_t)header.width + 7) / 8 : samplesPerRow * sampleBytes;

    // Checking that the samples can be there avoids building a large picture
    // from a short file; a text sample takes at least a digit and a space
    // (a plain PBM pixel, one digit).
    off_t available = BPrivate::remaining_stream_size(source);
    uint64 sampleCount = (uint64)samplesPerRow * header.height;
    uint64 needed = !text         ? (uint64)rawBytes * header.height
                    : kind == '1' ? sampleCount
                                  : sampleCount * 2 - 1;
    if (available >= 0 && (uint64)available + reader.Fill(0) < needed)
        return B_ILLEGAL_DATA;

    // Samples scale to 8 bits with rounding; binary samples past the maximum
    // count as the maximum.
    std::vector<uint8> scale(sampleBytes == 2 ? 65536 : 256, 255);
    for (uint32 v = 0; v <= header.maxValue; v++)
        scale[v] = (uint8)((v * 255 + header.maxValue / 2) / header.maxValue);
    if (inverted) {
        scale[0] = 255;
        scale[1] = 0;
    }

    status = BPrivate::write_bits_header(destination, header.width, header.height,
                                         header.alpha ? B_RGBA32 : B_RGB32);
    if (status != B_OK)
        return status;

    std::vector<uint8> raw(rawBytes);
    std::vector<uint32> samples(samplesPerRow);
    std::vector<uint8> row((size_t)header.width * 4);
    for (uint32 y = 0; y < header.height; y++) {
        if (!text) {
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
            if (kind == '6' && header.maxValue == 255) {
                // Already 8-bit samples: only the byte order changes.
                BPrivate::rgb24_to_bgrx(in, row.data(), header.width);
                status = destination->WriteExactly(row.data(), row.size());
                if (status != B_OK)
                    return status;
                continue;
            }
            if (packed) {
                for (size_t x = 0; x < header.width; x++)
                    samples[x] = scale[(in[x / 8] >> (7 - x % 8)) & 1];
            } else if (sampleBytes == 1) {
                for (size_t i = 0; i < samplesPerRow; i++)
                    samples[i] = scale[in[i]];
            } else {
                for (size_t i = 0; i < samplesPerRow; i++)
                    samples[i] = scale[(in[2 * i] << 8) | in[2 * i + 1]];
            }
        } else {
            for (size_t i = 0; i < samplesPerRow; i++) {
                uint32 value;
                status = kind == '1' ? read_bit(reader, &value)
                                     : read_number(reader, header.maxValue, &value);
                if (status != B_OK)
                    return status;
                samples[i] = scale[value];
            }
        }
        uint8* out = row.data();
        const uint32* in = samples.data();
        for (uint32 x = 0; x < header.width; x++, out += 4, in += channels) {
            if (color) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            } else {
                out[0] = out[1] = out[2] = in[0];
            }
            out[3] = header.alpha ? in[channels - 1] : 255;
        }
        status = destination->WriteExactly(row.data(), row.size());
        if (status != B_OK)
            return status;
    }
    return B_OK;
}

} // namespace ppm
