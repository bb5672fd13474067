// What the view shows of a picture's colours and transparency, and what a
// crop keeps of its metadata. Files are made by ImageMagick and exiftool;
// the expected colours come from Little CMS's own transicc.

#include "FileFixture.h"
#include "Pixels.h"

#include <Bitmap.h>
#include <ColorProfiles.h>
#include <PictureMetadata.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

const char* const kAdobeRGB = "/usr/share/color/icc/ghostscript/a98.icc";

std::string output_of(const std::string& command)
{
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[1024];
        size_t got;
        while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
            text.append(buffer, got);
        pclose(pipe);
    }
    return text;
}

bool run(const std::string& command)
{
    return system((command + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

TEST_F(FileTest, AdobeRGBPicturesShowInTheDisplaysColours)
{
    if (!run("transicc -v") && !run("command -v transicc"))
        GTEST_SKIP() << "transicc (liblcms2-utils) is missing";
    ASSERT_EQ(access(kAdobeRGB, R_OK), 0);
    // The display here has no profile of its own: it is sRGB.
    ASSERT_EQ(BPrivate::display_profile(), "");
    struct Case
    {
        int r, g, b;
    } cases[] = {{255, 0, 0}, {200, 40, 30}, {30, 180, 60}, {128, 128, 128}};
    for (const Case& c : cases) {
        char colour[64];
        snprintf(colour, sizeof(colour), "%d %d %d", c.r, c.g, c.b);
        std::string path = Path("adobe.png");
        ASSERT_TRUE(run("convert -size 24x16 'xc:rgb(" + std::to_string(c.r) + "," +
                        std::to_string(c.g) + "," + std::to_string(c.b) + ")' -profile " +
                        kAdobeRGB + " 'PNG24:" + path + "'"));
        double expected[3];
        std::string answer = output_of(std::string("echo '") + colour + "' | transicc -n -i " +
                                       kAdobeRGB + " 2>/dev/null | tail -1");
        ASSERT_EQ(sscanf(answer.c_str(), "%lf %lf %lf", &expected[0], &expected[1], &expected[2]),
                  3)
            << answer;
        entry_ref ref = Ref("adobe.png");
        ASSERT_EQ(view->load(ref), B_OK);
        Settle();
        QRgb shown = grab_view(view).pixel(5, 5);
        int got[3] = {qRed(shown), qGreen(shown), qBlue(shown)};
        for (int i = 0; i < 3; i++) {
            double clipped = std::min(255.0, std::max(0.0, expected[i]));
            EXPECT_NEAR(got[i], clipped, 1.0) << colour << " channel " << i;
        }
        // The picture itself keeps the file's numbers.
        uint32 pixel = *static_cast<const uint32*>(view->image->Bits());
        EXPECT_EQ(pixel & 0xffffff, uint32(c.r << 16 | c.g << 8 | c.b)) << colour;
    }

    // An untagged picture is drawn as it is: no copy is made for it.
    ASSERT_TRUE(Pattern(20, 10).save(QString::fromStdString(Path("plain.png"))));
    entry_ref plain = Ref("plain.png");
    ASSERT_EQ(view->load(plain), B_OK);
    EXPECT_EQ(view->displaycopy.For(view->image), view->image);
}

TEST_F(FileTest, TransparentPartsShowACheckerboardUnderThePicture)
{
    std::string path = Path("half.png");
    // Red at half opacity over the left half, fully transparent on the right.
    ASSERT_TRUE(run("convert -size 64x32 'xc:rgba(255,0,0,0.5)' -region 32x32+32+0 -alpha "
                    "transparent '" +
                    path + "'"));
    entry_ref ref = Ref("half.png");
    ASSERT_EQ(view->load(ref), B_OK);
    Settle();
    QImage shown = grab_view(view);
    // 8 device pixels a square, light (204) first.
    struct Case
    {
        int x, y;
        int grey;
        bool red;
    } cases[] = {{2, 2, 204, true},   {10, 2, 153, true},  {10, 10, 204, true},
                 {34, 2, 204, false}, {42, 2, 153, false}, {42, 12, 204, false}};
    for (const Case& c : cases) {
        QRgb pixel = shown.pixel(c.x, c.y);
        // Half of 255 red over the grey.
        int red = c.red ? (255 * 128 + c.grey * 127 + 127) / 255 : c.grey;
        int other = c.red ? (c.grey * 127 + 127) / 255 : c.grey;
        EXPECT_NEAR(qRed(pixel), red, 1) << c.x << "," << c.y;
        EXPECT_NEAR(qGreen(pixel), other, 1) << c.x << "," << c.y;
        EXPECT_NEAR(qBlue(pixel), other, 1) << c.x << "," << c.y;
    }
    // The picture keeps its alpha.
    const uint32* bits = static_cast<const uint32*>(view->image->Bits());
    EXPECT_EQ(view->image->ColorSpace(), B_RGBA32);
    EXPECT_NEAR(int(bits[0] >> 24), 128, 1);
    EXPECT_EQ(bits[40] >> 24, 0u);
}

TEST_F(FileTest, ACropKeepsTheProfileAndExifWithItsNewSize)
{
    if (!run("exiftool -ver"))
        GTEST_SKIP() << "exiftool is missing";
    std::string path = Path("photo.jpg");
    ASSERT_TRUE(run("convert -size 60x40 gradient:red-blue -profile " + std::string(kAdobeRGB) +
                    " '" + path + "'"));
    ASSERT_TRUE(run("exiftool -q -overwrite_original -Make=Canon -ExifImageWidth=60 "
                    "-ExifImageHeight=40 '" +
                    path + "'"));
    entry_ref ref = Ref("photo.jpg");
    ASSERT_EQ(view->load(ref), B_OK);
    view->cursel.visible = true;
    view->cursel.rect.Set(10, 5, 29, 19);
    view->crop();
    view->format_no = (int16)FormatNumber("image/jpeg");
    entry_ref dir = FolderRef();
    view->save(dir, const_cast<char*>("cropped.jpg"));
    std::string tags = output_of("exiftool -s -s -n -Make -ExifImageWidth -ExifImageHeight "
                                 "-ImageSize '" +
                                 Path("cropped.jpg") + "'");
    EXPECT_NE(tags.find("Make: Canon"), std::string::npos) << tags;
    EXPECT_NE(tags.find("ExifImageWidth: 20"), std::string::npos) << tags;
    EXPECT_NE(tags.find("ExifImageHeight: 15"), std::string::npos) << tags;
    EXPECT_EQ(output_of("exiftool -b -ICC_Profile '" + Path("cropped.jpg") + "'"),
              output_of("exiftool -b -ICC_Profile '" + path + "'"));
}
