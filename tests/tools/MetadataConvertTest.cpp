// Colour profiles, Exif and XMP through the converter and the translators:
// a camera-like JPEG made by ImageMagick (an Adobe RGB profile) and exiftool
// (make, model, GPS position, orientation, a title in XMP) goes through every
// pair of formats that can hold them, and exiftool reads the results back.

#include "ConvertTool.h"
#include "TranslatorTestSupport.h"

#include <BitmapStream.h>
#include <File.h>
#include <Message.h>
#include <PictureMetadata.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <unistd.h>

using namespace test;

namespace {

const char* const kProfile = "/usr/share/color/icc/ghostscript/a98.icc";

// Every format here holds a profile, Exif and XMP.
const char* const kFormats[] = {"jpg", "png", "webp", "tif", "heic", "avif", "jxl"};

std::string output_of(const std::string& command)
{
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        text.append(buffer, got);
    pclose(pipe);
    return text;
}

bool is_jxl(const std::string& path)
{
    return path.size() > 4 && path.compare(path.size() - 4, 4, ".jxl") == 0;
}

// The tags exiftool reads from a file, by name ("Make" -> "Canon").
std::map<std::string, std::string> tags_of(const std::string& path)
{
    std::map<std::string, std::string> tags;
    std::string text = output_of("exiftool -s -s -n -Make -Model -GPSLatitude -Orientation "
                                 "-XMP:Title -ExifImageWidth -ImageWidth -ImageHeight '" +
                                 path + "' 2>/dev/null");
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end - at);
        size_t colon = line.find(": ");
        if (colon != std::string::npos)
            tags[line.substr(0, colon)] = line.substr(colon + 2);
        at = end == std::string::npos ? text.size() : end + 1;
    }
    // exiftool reads neither the size nor the profile inside a JPEG XL
    // codestream; libjxl's own tools do.
    if (is_jxl(path)) {
        std::string info = output_of("jxlinfo '" + path + "' 2>/dev/null");
        unsigned width = 0, height = 0;
        size_t image = info.find("image, ");
        if (image != std::string::npos &&
            sscanf(info.c_str() + image, "image, %ux%u", &width, &height) == 2) {
            tags["ImageWidth"] = std::to_string(width);
            tags["ImageHeight"] = std::to_string(height);
        }
    }
    return tags;
}

std::string profile_of(const std::string& path)
{
    if (!is_jxl(path))
        return output_of("exiftool -b -ICC_Profile '" + path + "' 2>/dev/null");
    std::string icc = path + ".icc";
    unlink(icc.c_str());
    output_of("djxl '" + path + "' '" + path + ".ppm' --icc_out='" + icc + "' 2>/dev/null");
    std::vector<uint8> bytes = read_file(icc);
    return std::string(bytes.begin(), bytes.end());
}

class MetadataTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!run_command("exiftool -ver") || access(kProfile, R_OK) != 0)
            GTEST_SKIP() << "exiftool, ImageMagick or the Adobe RGB profile is missing";
        source = dir.Path() + "/camera.jpg";
        // 40 x 30 stored, turned a quarter (orientation 6): 30 x 40 upright.
        ASSERT_TRUE(run_convert("-size 40x30 gradient:red-blue -profile " + std::string(kProfile) +
                                " '" + source + "'"));
        ASSERT_TRUE(run_command("exiftool -q -overwrite_original -Make=Canon -Model='EOS R5' "
                                "-GPSLatitude=48.85 -GPSLatitudeRef=N -GPSLongitude=2.35 "
                                "-GPSLongitudeRef=E -Orientation#=6 -ExifImageWidth=40 "
                                "-ExifImageHeight=30 -XMP-dc:Title=Harbour '" +
                                source + "'"));
        profile = profile_of(source);
        ASSERT_GT(profile.size(), 128u);
    }

    bool Convert(const std::string& from, const std::string& to, const std::string& options = "")
    {
        return run_command(std::string(TAVRIN_CONVERT) + " " + options + " '" + from + "' '" + to +
                           "'");
    }

    TempDir dir;
    std::string source;
    std::string profile;
};

TEST_F(MetadataTest, EveryPairOfFormatsKeepsTheProfileExifAndXMP)
{
    for (const char* first : kFormats) {
        std::string middle = dir.Path() + "/middle." + first;
        ASSERT_TRUE(Convert(source, middle)) << first;
        for (const char* second : kFormats) {
            std::string label = std::string(first) + " -> " + second;
            std::string out = dir.Path() + "/out." + second;
            ASSERT_TRUE(Convert(middle, out)) << label;
            std::map<std::string, std::string> tags = tags_of(out);
            EXPECT_TRUE(profile_of(out) == profile) << label << ": the profile's bytes";
            EXPECT_EQ(tags["Title"], "Harbour") << label;
            // The decoder turned the pixels upright.
            EXPECT_EQ(tags["ImageWidth"], "30") << label;
            EXPECT_EQ(tags["ImageHeight"], "40") << label;
            EXPECT_EQ(tags["Make"], "Canon") << label;
            EXPECT_EQ(tags["Model"], "EOS R5") << label;
            EXPECT_EQ(tags["GPSLatitude"].substr(0, 5), "48.85") << label;
            // The pixels are upright: 1, or none at all after TIFF, which
            // keeps the orientation as a tag of the picture itself.
            EXPECT_TRUE(tags["Orientation"] == "1" || tags["Orientation"].empty())
                << label << ": " << tags["Orientation"];
            EXPECT_EQ(tags["ExifImageWidth"], "30") << label;
        }
    }
}

TEST_F(MetadataTest, UntaggedPicturesStayUntagged)
{
    std::string plain = dir.Path() + "/plain.png";
    ASSERT_TRUE(run_convert("-size 8x8 xc:green '" + plain + "'"));
    for (const char* format : kFormats) {
        std::string out = dir.Path() + "/plain." + format;
        ASSERT_TRUE(Convert(plain, out)) << format;
        // A JPEG XL file always names its colours: here sRGB by name.
        if (is_jxl(out))
            EXPECT_NE(output_of("jxlinfo '" + out + "'").find("sRGB primaries"), std::string::npos);
        else
            EXPECT_EQ(profile_of(out), "") << format;
        EXPECT_EQ(tags_of(out).count("Make"), 0u) << format;
    }
}

// The writers' own choices, asked through the message as the settings
// panel's check box and the converter's --strip ask them.
TEST_F(MetadataTest, StrippingAndRemovingTheLocationLeaveNoGPS)
{
    BTranslatorRoster* roster = BTranslatorRoster::Default();
    struct Case
    {
        const char* name;
        const char* field;
        bool keepsExif;
    } cases[] = {{"strip", B_TRANSLATOR_EXT_STRIP_METADATA, false},
                 {"remove-location", "metadata /remove_location", true}};
    for (const char* format : kFormats) {
        for (const Case& c : cases) {
            std::string label = std::string(format) + " " + c.name;
            BFile in(source.c_str(), B_READ_ONLY);
            BBitmapStream bits;
            BMessage extension;
            ASSERT_EQ(roster->Translate(&in, nullptr, &extension, &bits, B_TRANSLATOR_BITMAP),
                      B_OK);
            extension.AddBool(c.field, true);
            std::string out = dir.Path() + "/" + c.name + "." + format;
            BFile file(out.c_str(), B_READ_WRITE | B_CREATE_FILE | B_ERASE_FILE);
            bits.Seek(0, SEEK_SET);
            const char* mime = convert::mime_for_name(out);
            uint32 type = mime != nullptr ? convert::type_for_mime(roster, mime) : 0;
            ASSERT_NE(type, 0u) << label;
            ASSERT_EQ(roster->Translate(&bits, nullptr, &extension, &file, type), B_OK) << label;
            file.Unset();
            std::map<std::string, std::string> tags = tags_of(out);
            EXPECT_EQ(tags.count("GPSLatitude"), 0u) << label;
            EXPECT_EQ(tags.count("Model"), 0u) << label;
            EXPECT_TRUE(profile_of(out) == profile) << label << ": the profile stays";
            EXPECT_EQ(tags.count("Title"), c.keepsExif ? 1u : 0u) << label << ": XMP";
            EXPECT_EQ(tags.count("ExifImageWidth"), c.keepsExif ? 1u : 0u) << label << ": Exif";
        }
    }
}

} // namespace
