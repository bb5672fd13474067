#ifndef TAVRIN_TOOL_IMAGES_H
#define TAVRIN_TOOL_IMAGES_H

// Pictures exchanged with other programs' command-line tools (heif-enc,
// avifenc, cjxl, ImageMagick, ...): the test writes its pixels as a PAM file
// the tools read, and reads what they decode back from one. Used by the tests
// of the translators whose fixtures those tools make.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TranslatorTestSupport.h"

namespace test {

// Runs a shell command quietly; true when it exits with status 0.
inline bool run_tool(const std::string& command)
{
    return system((command + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool have_tool(const std::string& name)
{
    return run_tool("command -v " + name);
}

// Writes the picture as an 8-bit PAM (RGB_ALPHA when it has alpha).
inline bool write_pam(const std::string& path, const Image& image)
{
    bool alpha = image.space == B_RGBA32;
    std::string header = "P7\nWIDTH " + std::to_string(image.width) + "\nHEIGHT " +
                         std::to_string(image.height) + "\nDEPTH " + (alpha ? "4" : "3") +
                         "\nMAXVAL 255\nTUPLTYPE " + (alpha ? "RGB_ALPHA" : "RGB") + "\nENDHDR\n";
    std::vector<uint8> data(header.begin(), header.end());
    for (uint32 pixel : image.pixels) {
        data.push_back(uint8(pixel >> 16));
        data.push_back(uint8(pixel >> 8));
        data.push_back(uint8(pixel));
        if (alpha)
            data.push_back(uint8(pixel >> 24));
    }
    return write_file(path, data);
}

// Writes the picture as a PNG through ImageMagick; depth16 scales it to 16
// bits per sample.
inline bool write_png(const std::string& path, const Image& image, bool depth16 = false)
{
    std::string pam = path + ".pam";
    bool ok =
        write_pam(pam, image) &&
        run_tool("convert " + pam + (depth16 ? " -depth 16 " : " ") + "PNG" +
                 (image.space == B_RGBA32 ? (depth16 ? "64:" : "32:") : (depth16 ? "48:" : "24:")) +
                 path);
    remove(pam.c_str());
    return ok;
}

// Reads any picture ImageMagick reads, as 8-bit pixels; alpha decides the
// colour space of the result.
inline bool read_with_convert(const std::string& path, Image* image, bool alpha)
{
    std::string pam = path + ".read.pam";
    if (!run_tool("convert " + path + (alpha ? " -alpha on" : " -alpha off") +
                  " -depth 8 PAM:" + pam))
        return false;
    std::vector<uint8> data = read_file(pam);
    remove(pam.c_str());
    std::string text(data.begin(), data.end());
    size_t end = text.find("ENDHDR\n");
    if (text.compare(0, 3, "P7\n") != 0 || end == std::string::npos)
        return false;
    unsigned width = 0, height = 0, depth = 0;
    for (const char* key : {"WIDTH ", "HEIGHT ", "DEPTH "}) {
        size_t at = text.find(key);
        if (at == std::string::npos || at > end)
            return false;
        unsigned value = unsigned(strtoul(text.c_str() + at + strlen(key), nullptr, 10));
        (key[0] == 'W' ? width : key[0] == 'H' ? height : depth) = value;
    }
    size_t offset = end + 7;
    if (depth < 3 || data.size() < offset + size_t(width) * height * depth)
        return false;
    image->width = width;
    image->height = height;
    image->space = alpha ? B_RGBA32 : B_RGB32;
    image->pixels.assign(size_t(width) * height, 0);
    for (size_t i = 0; i < image->pixels.size(); i++) {
        const uint8* p = data.data() + offset + i * depth;
        uint32 a = depth == 4 ? p[3] : 255;
        image->pixels[i] = a << 24 | uint32(p[0]) << 16 | uint32(p[1]) << 8 | p[2];
    }
    return true;
}

// The mean absolute difference per colour channel (and alpha when both have
// it) between two pictures of one size.
inline double mean_channel_difference(const Image& a, const Image& b)
{
    bool alpha = a.space == B_RGBA32 && b.space == B_RGBA32;
    double total = 0;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); i++) {
        for (int shift = 0; shift < (alpha ? 32 : 24); shift += 8)
            total +=
                std::abs(int((a.pixels[i] >> shift) & 0xff) - int((b.pixels[i] >> shift) & 0xff));
    }
    return a.pixels.empty() ? 0 : total / (double(a.pixels.size()) * (alpha ? 4 : 3));
}

// The picture as it shows after one of the eight EXIF orientations is
// applied to the stored one (1 upright, 6 turned a quarter clockwise, ...).
inline Image oriented(const Image& stored, int orientation)
{
    bool transposed = orientation >= 5;
    Image out;
    out.width = transposed ? stored.height : stored.width;
    out.height = transposed ? stored.width : stored.height;
    out.space = stored.space;
    out.pixels.resize(stored.pixels.size());
    for (uint32 y = 0; y < out.height; y++) {
        for (uint32 x = 0; x < out.width; x++) {
            uint32 sx = x, sy = y;
            uint32 w = stored.width, h = stored.height;
            switch (orientation) {
            case 2:
                sx = w - 1 - x;
                break;
            case 3:
                sx = w - 1 - x, sy = h - 1 - y;
                break;
            case 4:
                sy = h - 1 - y;
                break;
            case 5:
                sx = y, sy = x;
                break;
            case 6:
                sx = y, sy = h - 1 - x;
                break;
            case 7:
                sx = w - 1 - y, sy = h - 1 - x;
                break;
            case 8:
                sx = w - 1 - y, sy = x;
                break;
            default:
                break;
            }
            out.pixels[size_t(y) * out.width + x] = stored.pixels[size_t(sy) * w + sx];
        }
    }
    return out;
}

} // namespace test

#endif
