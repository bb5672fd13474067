// Opening pictures and saving them in every format the translators write.

#include <BitmapStream.h>
#include <File.h>
#include <Node.h>

#include "FileFixture.h"
#include "Pixels.h"
#include "window/codes.h"

#include <QFile>

#include <fstream>
#include <sys/stat.h>

#include <sys/xattr.h>

#include <cstdlib>

namespace {

std::string mime_type_of(const std::string& path)
{
    char value[256];
    ssize_t n = getxattr(path.c_str(), "user.mime_type", value, sizeof(value));
    return n > 0 ? std::string(value, n) : std::string();
}

// The largest difference of any channel between an image and a bitmap; with
// mean, the average difference instead (lossy formats blur sharp edges).
int difference(const QImage& expected, const BBitmap* bitmap, bool mean = false)
{
    BRect bounds = bitmap->Bounds();
    if (bounds.IntegerWidth() + 1 != expected.width() ||
        bounds.IntegerHeight() + 1 != expected.height())
        return 1000;
    const uint32* bits = static_cast<const uint32*>(bitmap->Bits());
    int32 stride = bitmap->BytesPerRow() / 4;
    int worst = 0;
    long total = 0;
    for (int y = 0; y < expected.height(); y++) {
        for (int x = 0; x < expected.width(); x++) {
            QRgb a = expected.pixel(x, y);
            uint32 b = bits[y * stride + x];
            int red = std::abs(qRed(a) - (int)((b >> 16) & 0xff));
            int green = std::abs(qGreen(a) - (int)((b >> 8) & 0xff));
            int blue = std::abs(qBlue(a) - (int)(b & 0xff));
            worst = std::max({worst, red, green, blue});
            total += red + green + blue;
        }
    }
    if (mean)
        return (int)(total / (3L * expected.width() * expected.height()));
    return worst;
}

TEST_F(FileTest, APictureFileBecomesTheImageAndNamesTheWindow)
{
    QImage picture = Pattern(64, 48);
    ASSERT_TRUE(picture.save(QString::fromStdString(Path("sky.png"))));
    entry_ref ref = Ref("sky.png");
    view->load(ref);
    Settle();
    ASSERT_NE(view->image, nullptr);
    EXPECT_EQ(difference(picture, view->image), 0);
    EXPECT_STREQ(window->Title(), "sky.png[64x48]");
    EXPECT_STREQ(view->title, "sky.png");
    EXPECT_EQ(pic, BRect(0, 0, 63, 47));
    EXPECT_EQ(view->image->ColorSpace() == B_RGB32 || view->image->ColorSpace() == B_RGBA32, true);
}

// A PNG whose header claims width x height, with empty data.
void write_png_header(const std::string& path, uint32 width, uint32 height)
{
    std::string bytes("\x89PNG\r\n\x1a\n", 8);
    auto chunk = [&bytes](const char* type, const std::string& data) {
        std::string body = std::string(type, 4) + data;
        uint32 crc = 0xffffffffu;
        for (unsigned char byte : body) {
            crc ^= byte;
            for (int k = 0; k < 8; k++)
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
        }
        crc = ~crc;
        for (int i = 0; i < 4; i++)
            bytes.push_back((char)(data.size() >> (24 - 8 * i)));
        bytes += body;
        for (int i = 0; i < 4; i++)
            bytes.push_back((char)(crc >> (24 - 8 * i)));
    };
    std::string header(13, '\0');
    for (int i = 0; i < 4; i++) {
        header[i] = (char)(width >> (24 - 8 * i));
        header[4 + i] = (char)(height >> (24 - 8 * i));
    }
    header[8] = 8; // bits per sample
    header[9] = 2; // RGB
    chunk("IHDR", header);
    chunk("IDAT", "");
    chunk("IEND", "");
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST_F(FileTest, AFileThatGivesNoPictureKeepsTheOneShownAndSaysWhy)
{
    QImage picture = Pattern(20, 10);
    ASSERT_TRUE(picture.save(QString::fromStdString(Path("sky.png"))));
    std::ofstream(Path("noise.bin")) << "just some words, no picture\n";
    std::ofstream(Path("empty.png"));
    ASSERT_TRUE(QDir(folder.path()).mkdir("photos"));
    ASSERT_EQ(mkfifo(Path("pipe.png").c_str(), 0600), 0);
    write_png_header(Path("huge.png"), 65535, 65535);
    QFile whole(QString::fromStdString(Path("sky.png")));
    whole.open(QIODevice::ReadOnly);
    std::string bytes = whole.readAll().toStdString();
    std::ofstream(Path("cut.png")) << bytes.substr(0, bytes.size() / 2);
    bytes[20] ^= 1;
    std::ofstream(Path("crc.png")) << bytes;

    struct
    {
        std::vector<const char*> names;
        const char* said;
    } cases[] = {
        {{"noise.bin"}, "Cannot open noise.bin: no installed translator reads it."},
        {{"empty.png"}, "Cannot open empty.png: is empty."},
        {{"photos"}, "Cannot open photos: is a folder."},
        {{"pipe.png"}, "Cannot open pipe.png: is not a regular file."},
        {{"huge.png"}, "Cannot open huge.png: is larger than the 1 GiB picture limit."},
        // A damaged file is named in the codec's words.
        {{"cut.png"},
         "Cannot open cut.png: the picture in it is damaged or cut short (PNG: the file ends too "
         "soon)."},
        {{"crc.png"},
         "Cannot open crc.png: the picture in it is damaged or cut short (libpng: IHDR: CRC "
         "error)."},
        {{"missing.png"}, "Cannot open missing.png: does not exist."},
        {{"noise.bin", "photos", "empty.png"},
         "Cannot open noise.bin: no installed translator reads it (nor 2 other files)."},
    };
    entry_ref ref = Ref("sky.png");
    ASSERT_EQ(view->load(ref), B_OK);
    int32 steps = view->changes.count();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.names[0]);
        BMessage refs(B_SIMPLE_DATA);
        for (const char* name : c.names) {
            entry_ref each = Ref(name);
            refs.AddRef("refs", &each);
        }
        BMessenger(view).SendMessage(&refs);
        Settle();
        ASSERT_NE(view->image, nullptr);
        EXPECT_EQ(difference(picture, view->image), 0);
        EXPECT_STREQ(window->Title(), "sky.png[20x10]");
        EXPECT_EQ(TakeAlert("Open failed"), c.said);
    }
    EXPECT_EQ(view->changes.count(), steps) << "a failed open is no change";
}

TEST_F(FileTest, OpenAndCloseAreUndoneInTurn)
{
    ASSERT_TRUE(Pattern(30, 20).save(QString::fromStdString(Path("a.png"))));
    ASSERT_TRUE(Pattern(50, 40).save(QString::fromStdString(Path("b.png"))));
    for (const char* name : {"a.png", "b.png"}) {
        entry_ref ref = Ref(name);
        ASSERT_EQ(view->load(ref), B_OK);
    }
    BMessenger(view).SendMessage(kClose);
    Settle();
    const char* titles[] = {"b.png[50x40]", "a.png[30x20]", "tavrin ver.0.00"};
    for (const char* title : titles) {
        BMessenger(view).SendMessage(kUndo);
        Settle();
        EXPECT_STREQ(window->Title(), title);
    }
    EXPECT_EQ(view->image, nullptr);
    for (int i = 0; i < 3; i++)
        BMessenger(view).SendMessage(kRedo);
    Settle();
    EXPECT_STREQ(window->Title(), "tavrin ver.0.00");
    BMessenger(view).SendMessage(kUndo);
    Settle();
    EXPECT_EQ(difference(Pattern(50, 40), view->image), 0);
}

TEST_F(FileTest, TheFirstReferenceThatLoadsIsShown)
{
    QFile text(QString::fromStdString(Path("a.txt")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("text");
    text.close();
    ASSERT_TRUE(Pattern(30, 20).save(QString::fromStdString(Path("b.png"))));
    ASSERT_TRUE(Pattern(50, 40).save(QString::fromStdString(Path("c.png"))));

    BMessage refs(B_SIMPLE_DATA);
    for (const char* name : {"a.txt", "b.png", "c.png"}) {
        entry_ref ref = Ref(name);
        refs.AddRef("refs", &ref);
    }
    BMessenger(view).SendMessage(&refs);
    Settle();
    ASSERT_NE(view->image, nullptr);
    EXPECT_STREQ(window->Title(), "b.png[30x20]");
}

TEST_F(FileTest, EveryFormatWritesAFileThatReadsBackWithItsType)
{
    ASSERT_GT(trc, 0) << "no translators found";
    // Few colours, so that GIF's palette holds them all.
    QImage picture(37, 23, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); y++) {
        for (int x = 0; x < picture.width(); x++)
            picture.setPixel(x, y, (x / 8 + y / 8) % 2 ? qRgb(200, 40, 40) : qRgb(30, 90, 220));
    }
    ASSERT_TRUE(picture.save(QString::fromStdString(Path("source.png"))));
    entry_ref source = Ref("source.png");
    view->load(source);
    ASSERT_NE(view->image, nullptr);
    BBitmap* shown = view->image;

    for (int32 i = 0; i < trc; i++) {
        s_fmt* record = format_at(i);
        std::string name = "saved-" + std::to_string(i);
        view->format_no = (int16)i;
        entry_ref dir = FolderRef();
        view->save(dir, name.data());
        EXPECT_EQ(view->image, shown) << "the view keeps its image";

        std::string path = Path(name.c_str());
        EXPECT_EQ(mime_type_of(path), record->MIME) << record->name;
        BFile file(path.c_str(), B_READ_ONLY);
        BBitmapStream stream;
        ASSERT_EQ(tr->Translate(&file, nullptr, nullptr, &stream, B_TRANSLATOR_BITMAP, 0, nullptr),
                  B_OK)
            << record->name;
        BBitmap* read = nullptr;
        ASSERT_EQ(stream.DetachBitmap(&read), B_OK);
        // The formats whose translators write lossy files by default.
        bool lossy = false;
        for (const char* type :
             {"image/jpeg", "image/webp", "image/heic", "image/avif", "image/jxl"})
            lossy = lossy || strcmp(record->MIME, type) == 0;
        // Lossless formats give the pixels back exactly; lossy ones within a
        // mean error of 16 levels a channel on this saturated red and blue
        // pattern, whose colour the lossy codecs keep at half resolution.
        EXPECT_LE(difference(picture, read, lossy), lossy ? 16 : 0) << record->name;
        delete read;
    }

    // Saving twice under one name is not refused.
    view->format_no = (int16)FormatNumber("image/png");
    entry_ref dir = FolderRef();
    view->save(dir, const_cast<char*>("twice.png"));
    view->save(dir, const_cast<char*>("twice.png"));
    EXPECT_EQ(mime_type_of(Path("twice.png")), "image/png");

    // No temporary files are left behind.
    QStringList hidden = QDir(folder.path()).entryList(QDir::Hidden | QDir::Files);
    for (const QString& entry : hidden)
        EXPECT_FALSE(entry.startsWith(".")) << entry.toStdString();
}

TEST_F(FileTest, AFailedSaveLeavesTheExistingFileAsItWas)
{
    std::string path = Path("precious.png");
    QFile existing(QString::fromStdString(path));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("the user's own bytes");
    existing.close();

    // An 8-bit image that no translator writes from: the translation fails.
    delete view->image;
    view->image = new BBitmap(BRect(0, 0, 7, 7), B_CMAP8);
    view->format_no = (int16)FormatNumber("image/png");
    ASSERT_GE(view->format_no, 0);
    entry_ref dir = FolderRef();
    testing::internal::CaptureStderr();
    view->save(dir, const_cast<char*>("precious.png"));
    std::string said = testing::internal::GetCapturedStderr();

    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("the user's own bytes"));
    EXPECT_NE(said.find("precious.png"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Hidden | QDir::Files).size(), 1);

    // No image, or a format the catalogue does not have: nothing is written.
    BBitmap* image = view->image;
    view->image = nullptr;
    view->save(dir, const_cast<char*>("none.png"));
    view->image = image;
    view->format_no = 999;
    view->save(dir, const_cast<char*>("none.png"));
    view->format_no = -1;
    view->save(dir, const_cast<char*>("none.png"));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("none.png"))));

    // Names that are not plain file names write nothing.
    for (const char* bad : {"", ".", "..", "a/b"}) {
        view->save(dir, const_cast<char*>(bad));
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Hidden | QDir::Files).size(), 1);
}

TEST_F(FileTest, TheImageIsStillDrawnAfterASave)
{
    QImage picture = Pattern(40, 30);
    ASSERT_TRUE(picture.save(QString::fromStdString(Path("p.png"))));
    entry_ref ref = Ref("p.png");
    view->load(ref);
    view->format_no = 0;
    entry_ref dir = FolderRef();
    view->save(dir, const_cast<char*>("copy"));
    view->Invalidate();
    Settle();
    QImage shown = grab_window(window);
    EXPECT_EQ(shown.pixel(10, 20 + 5), picture.pixel(10, 5));
    EXPECT_EQ(shown.pixel(39, 20 + 29), picture.pixel(39, 29));
}

TEST_F(FileTest, SelectTransTakesTheFirstMatchingFormat)
{
    ulong id = 99, type = 99;
    view->select_trans("image/x-be-bitmap", &id, &type);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(type, 0u);
    int32 png = FormatNumber("image/png");
    ASSERT_GE(png, 0);
    view->select_trans("image/png", &id, &type);
    EXPECT_EQ(id, format_at(png)->translator);
    EXPECT_EQ(type, format_at(png)->type);
    view->select_trans("IMAGE/PNG", &id, &type);
    EXPECT_EQ(id, 0u);
}

} // namespace
