// Captures from the command line: what the arguments ask for, and the file
// a capture is saved as.

#include <Bitmap.h>
#include <TranslatorRoster.h>

#include "TestApp.h"
#include "app/commandline.h"
#include "app/tavrin.h"
#include "io/capture.h"
#include "window/catalogue.h"
#include "window/codes.h"

#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <sys/xattr.h>
#include <vector>

namespace {

struct LineCase
{
    std::vector<const char*> args;
    bool ok;
    uint32 mode; // 0: no capture
    int32 delay;
    std::string output;
    bool clipboard;
    size_t files;
};

} // namespace

TEST(CommandLine, CaptureOptionsAndFiles)
{
    const LineCase cases[] = {
        {{}, true, 0, 0, "", false, 0},
        {{"a.png", "-b.png", "-"}, true, 0, 0, "", false, 3},
        {{"--capture"}, true, kCapture, 0, "", false, 0},
        {{"--capture=screen"}, true, kCapture, 0, "", false, 0},
        {{"--capture=region", "--output", "r.png"}, true, kCaptureRegion, 0, "r.png", false, 0},
        {{"--capture=window", "--delay=5", "--output=-", "--clipboard"},
         true,
         kCaptureWindow,
         5,
         "-",
         true,
         0},
        {{"--delay", "3", "--capture"}, true, kCapture, 3, "", false, 0},
        {{"--", "--capture"}, true, 0, 0, "", false, 1},
        {{"--capture=all"}, false, 0, 0, "", false, 0},
        {{"--capture", "--delay"}, false, 0, 0, "", false, 0},
        {{"--capture", "--delay", "-1"}, false, 0, 0, "", false, 0},
        {{"--capture", "--delay", "2s"}, false, 0, 0, "", false, 0},
        {{"--capture", "--delay", "99999999999"}, false, 0, 0, "", false, 0},
        {{"--capture", "--output"}, false, 0, 0, "", false, 0},
        {{"--output", "x.png"}, false, 0, 0, "", false, 0},
        {{"--capture", "a.png"}, false, 0, 0, "", false, 0},
        {{"--frobnicate"}, false, 0, 0, "", false, 0},
    };
    for (const LineCase& c : cases) {
        std::vector<const char*> argv = {"tavrin"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::string label;
        for (const char* arg : c.args)
            label += std::string(arg) + " ";
        command_line line;
        std::string error;
        bool ok = parse_command_line((int)argv.size(), argv.data(), &line, &error);
        ASSERT_EQ(ok, c.ok) << label << error;
        if (!ok) {
            EXPECT_FALSE(error.empty()) << label;
            continue;
        }
        EXPECT_EQ(line.capture, c.mode != 0) << label;
        if (c.mode) {
            EXPECT_EQ(line.mode, c.mode) << label;
        }
        EXPECT_EQ(line.delay, c.delay) << label;
        EXPECT_EQ(line.output, c.output) << label;
        EXPECT_EQ(line.clipboard, c.clipboard) << label;
        EXPECT_EQ(line.files.size(), c.files) << label;
    }
}

TEST(SaveCapture, TheExtensionNamesTheFormat)
{
    test_app();
    if (!tr)
        tr = BTranslatorRoster::Default();
    fill_catalogue();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    struct
    {
        std::string name;
        const char* format; // what Qt reads it as; null: nothing is written
        const char* mime;
    } cases[] = {
        {"shot.png", "png", "image/png"}, {"shot.JPG", "jpeg", "image/jpeg"},
        {"shot.bmp", "bmp", "image/bmp"}, {"shot.xyz", nullptr, nullptr},
        {"shot", nullptr, nullptr},       {"no-such-folder/shot.png", nullptr, nullptr},
    };
    BBitmap picture(BRect(0, 0, 9, 5), B_RGB32);
    memset(picture.Bits(), 0x80, picture.BitsLength());
    for (const auto& c : cases) {
        std::string path = folder.path().toStdString() + "/" + c.name;
        std::string why;
        status_t status = save_capture(&picture, path.c_str(), &why);
        if (!c.format) {
            EXPECT_NE(status, B_OK) << c.name;
            EXPECT_FALSE(why.empty()) << c.name;
            EXPECT_NE(access(path.c_str(), F_OK), 0) << c.name;
            continue;
        }
        ASSERT_EQ(status, B_OK) << c.name << ": " << why;
        QImageReader reader(QString::fromStdString(path));
        EXPECT_EQ(reader.format().toStdString(), c.format) << c.name;
        EXPECT_EQ(reader.size(), QSize(10, 6)) << c.name;
        char type[64] = {};
        getxattr(path.c_str(), "user.mime_type", type, sizeof(type) - 1);
        EXPECT_STREQ(type, c.mime) << c.name;
    }
    clear_catalogue();
}
