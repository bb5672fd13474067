// The metadata record's edits on Exif blocks that exiftool wrote, and on
// every cut and corruption of one.

#include <PictureMetadata.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string command_output(const std::string& command)
{
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
            text.append(buffer, got);
        pclose(pipe);
    }
    return text;
}

// An Exif block with a GPS position, a camera, sizes and a thumbnail, as
// exiftool writes it into a JPEG, and as exiftool extracts it again.
std::string camera_block(const std::string& folder)
{
    std::string photo = folder + "/photo.jpg", thumb = folder + "/thumb.jpg";
    std::string made = command_output(
        "convert -size 64x48 xc:teal '" + photo + "' && convert -size 16x12 xc:navy '" + thumb +
        "' && exiftool -q -overwrite_original -Make=Canon -Model=EOS -Orientation#=8 "
        "-ExifImageWidth=64 -ExifImageHeight=48 -GPSLatitude=10 -GPSLatitudeRef=S "
        "'-ThumbnailImage<=" +
        thumb + "' '" + photo + "' && exiftool -b -Exif '" + photo + "'");
    return made;
}

} // namespace

TEST(PictureMetadataTest, EditsLeaveWhatExiftoolReads)
{
    char folder[] = "/tmp/metadata-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string block = camera_block(folder);
    if (block.empty()) {
        system(("rm -rf '" + std::string(folder) + "'").c_str());
        GTEST_SKIP() << "exiftool or ImageMagick is missing";
    }
    BPrivate::PictureMetadata original;
    original.SetExif(block.data(), block.size());
    ASSERT_FALSE(original.exif.empty());
    ASSERT_EQ(BPrivate::exif_orientation_of(original.exif), 8);
    ASSERT_TRUE(BPrivate::exif_has_location(original.exif));
    ASSERT_TRUE(BPrivate::exif_has_thumbnail(original.exif));

    struct Case
    {
        const char* edit;
        int32 orientation;
        bool location, thumbnail;
        const char* tags; // what exiftool must still read
        const char* gone; // what it must not
    } cases[] = {
        {"upright", 1, true, false, "Make: Canon", "ThumbnailLength"},
        {"fit 64x48", 8, true, true, "ExifImageWidth: 64", ""},
        {"fit 20x10", 8, true, false, "ExifImageWidth: 20", "ThumbnailLength"},
        {"location", 8, false, true, "Model: EOS", "GPSLatitude"},
        {"camera", 8, true, true, "GPSLatitudeRef: S", "Make"},
    };
    for (const Case& c : cases) {
        BPrivate::PictureMetadata metadata = original;
        std::string edit = c.edit;
        if (edit == "upright")
            metadata.MarkTurnedUpright();
        else if (edit == "fit 64x48")
            metadata.FitTo(64, 48);
        else if (edit == "fit 20x10")
            metadata.FitTo(20, 10);
        else if (edit == "location")
            metadata.RemoveLocation();
        else
            metadata.RemoveCamera();
        EXPECT_EQ(BPrivate::exif_orientation_of(metadata.exif), c.orientation) << c.edit;
        EXPECT_EQ(BPrivate::exif_has_location(metadata.exif), c.location) << c.edit;
        EXPECT_EQ(BPrivate::exif_has_thumbnail(metadata.exif), c.thumbnail) << c.edit;
        // exiftool reads the edited block as a file of its own.
        std::string path = std::string(folder) + "/edited.exif";
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        fwrite(metadata.exif.data(), 1, metadata.exif.size(), file);
        fclose(file);
        std::string tags = command_output("exiftool -s -s -n '" + path + "' 2>&1");
        EXPECT_NE(tags.find(c.tags), std::string::npos) << c.edit << "\n" << tags;
        if (*c.gone) {
            EXPECT_EQ(tags.find(std::string(c.gone) + ":"), std::string::npos) << c.edit;
        }
        EXPECT_EQ(tags.find("Warning"), std::string::npos) << c.edit << "\n" << tags;
    }

    // Cut anywhere, or with any byte changed, a block is edited inside its
    // bytes or left alone (the sanitizers watch).
    for (size_t length = 0; length <= block.size(); length += length < 256 ? 1 : 97) {
        BPrivate::PictureMetadata cut;
        cut.SetExif(block.data(), length);
        cut.MarkTurnedUpright();
        cut.FitTo(3, 2);
        cut.RemoveLocation();
        cut.RemoveCamera();
        EXPECT_FALSE(BPrivate::exif_has_location(cut.exif));
    }
    for (size_t at = 0; at < std::min<size_t>(block.size(), 400); at++) {
        std::string broken = block;
        broken[at] = char(broken[at] ^ 0xA5);
        BPrivate::PictureMetadata metadata;
        metadata.SetExif(broken.data(), broken.size());
        metadata.MarkTurnedUpright();
        metadata.FitTo(3, 2);
        metadata.RemoveLocation();
        metadata.RemoveCamera();
    }
    system(("rm -rf '" + std::string(folder) + "'").c_str());
}

TEST(PictureMetadataTest, XMPLosesItsLocationAndCameraInBothForms)
{
    BPrivate::PictureMetadata metadata;
    metadata.xmp = "<x:xmpmeta><rdf:RDF><rdf:Description exif:GPSLatitude=\"10,0S\" "
                   "tiff:Make=\"Canon\" tiff:Orientation=\"6\" dc:format=\"image/jpeg\">"
                   "<exif:GPSLongitude>2,21.0E</exif:GPSLongitude>"
                   "<aux:SerialNumber>123</aux:SerialNumber><dc:title>Harbour</dc:title>"
                   "</rdf:Description></rdf:RDF></x:xmpmeta>";
    metadata.MarkTurnedUpright();
    metadata.RemoveLocation();
    metadata.RemoveCamera();
    EXPECT_EQ(metadata.xmp, "<x:xmpmeta><rdf:RDF><rdf:Description tiff:Orientation=\"1\" "
                            "dc:format=\"image/jpeg\"><dc:title>Harbour</dc:title>"
                            "</rdf:Description></rdf:RDF></x:xmpmeta>");
}
