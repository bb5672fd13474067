// Image data given to the view: a new image for an empty view, pasted at the
// drop point into an existing one; and the negotiation with a drag's source.

#include <BitmapStream.h>
#include <Message.h>

#include "FileFixture.h"
#include "Pixels.h"
#include "interface/ViewPrivate.h"
#include "window/codes.h"

#include <QBuffer>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

class IntakeTest : public FileTest
{
protected:
    // The view's own bitmap format for a w x h picture of one colour, with a
    // marked top-left pixel.
    static BMessage BitmapData(int w, int h, uint32 colour)
    {
        BBitmap* bitmap = new BBitmap(BRect(0, 0, w - 1, h - 1), B_RGB32);
        uint32* bits = static_cast<uint32*>(bitmap->Bits());
        for (int i = 0; i < w * h; i++)
            bits[i] = colour;
        BBitmapStream stream(bitmap);
        BMallocIO bytes;
        char block[1024];
        ssize_t n;
        while ((n = stream.Read(block, sizeof(block))) > 0)
            bytes.Write(block, n);
        BMessage message(B_MIME_DATA);
        message.AddData("image/x-be-bitmap", B_MIME_TYPE, bytes.Buffer(),
                        (ssize_t)bytes.BufferLength());
        return message;
    }

    void GiveImage(int w, int h, uint32 colour)
    {
        delete view->image;
        view->image = new BBitmap(BRect(0, 0, w - 1, h - 1), B_RGB32);
        uint32* bits = static_cast<uint32*>(view->image->Bits());
        for (int i = 0; i < w * h; i++)
            bits[i] = colour;
        strcpy(view->title, "base.png");
        view->redraw(true);
        Settle();
    }

    uint32 Pixel(int x, int y)
    {
        return static_cast<uint32*>(view->image->Bits())[y * (view->image->BytesPerRow() / 4) + x];
    }

    void Deliver(BMessage* message)
    {
        BMessenger(view).SendMessage(message);
        Settle();
    }
};

const uint32 kBase = 0xff102030u;
const uint32 kDropped = 0xffe0c0a0u;

TEST_F(IntakeTest, DataOnAnEmptyViewBecomesTheImage)
{
    BMessage data = BitmapData(300, 200, kDropped);
    droppos.Set(40, 40);
    Deliver(&data);
    ASSERT_NE(view->image, nullptr);
    EXPECT_EQ(pic, BRect(0, 0, 299, 199));
    EXPECT_EQ(Pixel(0, 0), kDropped);
    EXPECT_EQ(Pixel(299, 199), kDropped);
    EXPECT_EQ(droppos, BPoint(0, 0));
    EXPECT_STREQ(window->Title(), "no title[300x200]");
    EXPECT_EQ(window->Frame().Width(), 299 + 14);
}

TEST_F(IntakeTest, DataIsPastedAtTheDropPointAndClipped)
{
    struct
    {
        int w, h;
        BPoint at;
        int firstRow, lastRow, firstColumn, lastColumn; // in the 100 x 100 image
    } cases[] = {
        {10, 10, BPoint(5.7f, -3.2f), 0, 6, 5, 14},
        {300, 200, BPoint(50, 50), 50, 99, 50, 99},
        {10, 10, BPoint(95, 95), 95, 99, 95, 99},
        {10, 10, BPoint(-20, 0), -1, -1, -1, -1},
    };
    for (auto& c : cases) {
        GiveImage(100, 100, kBase);
        BRect frame = window->Frame();
        droppos = c.at;
        BMessage data = BitmapData(c.w, c.h, kDropped);
        Deliver(&data);
        int pasted = 0;
        for (int y = 0; y < 100; y++) {
            for (int x = 0; x < 100; x++) {
                bool inside =
                    y >= c.firstRow && y <= c.lastRow && x >= c.firstColumn && x <= c.lastColumn;
                ASSERT_EQ(Pixel(x, y), inside ? kDropped : kBase) << x << "," << y;
                pasted += inside;
            }
        }
        // A paste keeps the window and the document's name.
        EXPECT_EQ(window->Frame(), frame);
        EXPECT_STREQ(window->Title(), "base.png[100x100]");
    }
}

TEST_F(IntakeTest, TransparentPixelsReplaceThePixelsUnder)
{
    GiveImage(20, 20, kBase);
    droppos.Set(0, 0);
    BMessage data = BitmapData(4, 4, 0x00000000u);
    Deliver(&data);
    EXPECT_EQ(Pixel(0, 0), 0x00000000u);
    EXPECT_EQ(Pixel(4, 4), kBase);
}

TEST_F(IntakeTest, APictureFileFormatIsDecodedByTheRoster)
{
    QImage picture = Pattern(12, 8);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    BMessage data(B_MIME_DATA);
    data.AddData("image/png", B_MIME_TYPE, png.constData(), png.size());
    Deliver(&data);
    ASSERT_NE(view->image, nullptr);
    EXPECT_EQ(Pixel(11, 7) & 0xffffff, picture.pixel(11, 7) & 0xffffff);
}

TEST_F(IntakeTest, DataThatIsNoImageChangesNothing)
{
    GiveImage(10, 10, kBase);
    BMessage texts[4];
    texts[0].what = B_MIME_DATA;
    texts[0].AddData("text/plain", B_MIME_TYPE, "hello", 5);
    texts[0].AddData("image/png", B_MIME_TYPE, "\x89PNG", 4);
    texts[1].what = B_MIME_DATA;
    texts[1].AddData("image/png", B_MIME_TYPE, "not a png at all", 16);
    // A bitmap stream claiming far more than any decoder may allocate.
    texts[2].what = B_MIME_DATA;
    const unsigned char huge[32] = {'b', 'i',  't',  's',  0,    0,    0,    0,    0,    0,   0,
                                    0,   0x47, 0x7f, 0xff, 0x00, 0x47, 0x7f, 0xff, 0x00, 0,   4,
                                    0,   0,    0,    0,    0,    8,    0xff, 0xff, 0xff, 0xfc};
    texts[2].AddData("image/x-be-bitmap", B_MIME_TYPE, huge, sizeof(huge));
    texts[3].what = B_SIMPLE_DATA;
    for (BMessage& message : texts) {
        Deliver(&message);
        EXPECT_EQ(Pixel(0, 0), kBase);
        EXPECT_EQ(pic, BRect(0, 0, 9, 9));
        EXPECT_STREQ(window->Title(), "base.png[10x10]");
    }
}

// The 32-byte header of a 16384 x 16383 B_RGB32 bitmap stream (just under
// the decoders' limit), followed by rowBytes bytes of its rows.
BMessage TruncatedBitmap(size_t rowBytes)
{
    std::vector<unsigned char> bytes = {'b', 'i',  't',  's',  0,    0,    0,    0,    0,    0,   0,
                                        0,   0x46, 0x7f, 0xfc, 0x00, 0x46, 0x7f, 0xf8, 0x00, 0,   1,
                                        0,   0,    0,    0,    0,    8,    0x3f, 0xff, 0x00, 0x00};
    bytes.resize(bytes.size() + rowBytes, 0x77);
    BMessage message(B_MIME_DATA);
    message.AddData("image/x-be-bitmap", B_MIME_TYPE, bytes.data(), (ssize_t)bytes.size());
    return message;
}

TEST_F(IntakeTest, ABitmapWhoseRowsNeverCameChangesNothing)
{
    for (size_t rowBytes : {size_t(0), size_t(4096)}) {
        // On an empty view: no picture, and nothing allocated for one.
        delete view->image;
        view->image = nullptr;
        view->redraw(true);
        Settle();
        BRect frame = window->Frame();
        BMessage empty = TruncatedBitmap(rowBytes);
        Deliver(&empty);
        EXPECT_EQ(view->image, nullptr) << rowBytes;
        EXPECT_EQ(window->Frame(), frame) << rowBytes;

        // On a picture: not a pixel changes.
        GiveImage(10, 10, kBase);
        droppos.Set(0, 0);
        BMessage onPicture = TruncatedBitmap(rowBytes);
        Deliver(&onPicture);
        for (int i = 0; i < 100; i++)
            ASSERT_EQ(Pixel(i % 10, i / 10), kBase) << rowBytes;
        EXPECT_STREQ(window->Title(), "base.png[10x10]");
    }
}

TEST_F(IntakeTest, DropPositionsOutOfRangeAreIgnored)
{
    // Drop fields from another program: only a finite position in range is
    // taken; anything else leaves the last one, and the paste stays sane.
    const float kNaN = NAN, kInf = INFINITY;
    struct
    {
        const char* what;
        BPoint point, offset;
        float scale; // 0: no "scale" field
        bool taken;
    } cases[] = {
        {"plain", BPoint(130, 140), BPoint(20, 10), 0, true},
        {"offset not a number", BPoint(130, 140), BPoint(kNaN, 0), 0, false},
        {"offset infinite", BPoint(130, 140), BPoint(0, -kInf), 0, false},
        {"offset huge", BPoint(130, 140), BPoint(1e30f, 0), 0, false},
        {"point not a number", BPoint(kNaN, kNaN), BPoint(0, 0), 0, false},
        {"point huge", BPoint(-3e9f, 140), BPoint(0, 0), 0, false},
        {"scale blows the offset up", BPoint(130, 140), BPoint(20, 10), 1e-30f, false},
        {"scale not a number", BPoint(130, 140), BPoint(20, 10), kNaN, false},
        {"scale halves", BPoint(130, 140), BPoint(20, 10), 2, true},
    };
    for (auto& c : cases) {
        BPoint before(3, 4);
        droppos = before;
        BMessage message('test');
        message.AddPoint("_drop_point_", c.point);
        message.AddPoint("_drop_offset_", c.offset);
        if (c.scale != 0)
            message.AddFloat("scale", c.scale);
        Deliver(&message);
        if (!c.taken) {
            EXPECT_EQ(droppos, before) << c.what;
            continue;
        }
        BPoint view = c.point;
        this->view->ConvertFromScreen(&view);
        float divisor = c.scale != 0 ? c.scale : 1;
        EXPECT_EQ(droppos, BPoint(view.x - c.offset.x / divisor, view.y - c.offset.y / divisor))
            << c.what;
    }

    // A paste position set some other way: far off, or no number, pastes
    // nothing and overflows nothing.
    const BPoint positions[] = {BPoint(kNaN, 0), BPoint(0, kInf), BPoint(1e30f, -1e30f),
                                BPoint(2147483520.0f, 2147483520.0f), BPoint(-2147483520.0f, 0)};
    for (BPoint position : positions) {
        GiveImage(20, 20, kBase);
        droppos = position;
        BMessage data = BitmapData(8, 8, kDropped);
        Deliver(&data);
        for (int i = 0; i < 400; i++)
            ASSERT_EQ(Pixel(i % 20, i / 20), kBase) << position.x << "," << position.y;
    }
}

// Raw bitmap data written byte by byte: a w x h picture of space at
// (left, top), rows rowBytes long, whose pixel (x, y) is RawPixel(x, y) and
// whose padding is 0xee; extra bytes follow the rows (or, negative, are cut
// off their end).
uint32 RawPixel(int x, int y)
{
    return (uint32)((x * 40 + y * 3) & 0xff) << 24 | (uint32)y << 8 | (uint32)x | 0x00400000u;
}

BMessage RawData(int w, int h, color_space space, uint32 rowBytes, float left, float top, int extra)
{
    std::vector<unsigned char> bytes;
    auto word = [&](uint32 value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back((unsigned char)(value >> shift));
    };
    auto real = [&](float value) {
        uint32 bits;
        memcpy(&bits, &value, sizeof(bits));
        word(bits);
    };
    word('bits');
    real(left);
    real(top);
    real(left + w - 1);
    real(top + h - 1);
    word(rowBytes);
    word(space);
    word(rowBytes * h);
    for (int y = 0; y < h; y++) {
        size_t start = bytes.size();
        for (int x = 0; x < w; x++) {
            uint32 pixel = RawPixel(x, y);
            bytes.insert(bytes.end(), (unsigned char*)&pixel, (unsigned char*)&pixel + 4);
        }
        bytes.resize(start + rowBytes, 0xee);
    }
    if (extra >= 0)
        bytes.resize(bytes.size() + extra, 0x11);
    else
        bytes.resize(bytes.size() + extra);
    BMessage message(B_MIME_DATA);
    message.AddData("image/x-be-bitmap", B_MIME_TYPE, bytes.data(), (ssize_t)bytes.size());
    return message;
}

TEST_F(IntakeTest, RawPixelsArePastedWordForWordAndShown)
{
    struct
    {
        const char* what;
        int w, h;
        color_space space;
        uint32 rowBytes;
        float left, top;
        int extra;
        BPoint at;
        bool pasted;
    } cases[] = {
        {"packed rows", 8, 6, B_RGB32, 32, 0, 0, 0, BPoint(3, 2), true},
        {"with alpha", 8, 6, B_RGBA32, 32, 0, 0, 0, BPoint(0, 0), true},
        {"padded rows", 8, 6, B_RGB32, 44, 0, 0, 0, BPoint(5, 9), true},
        {"odd padding", 7, 5, B_RGBA32, 31, 0, 0, 0, BPoint(1, 1), true},
        {"past the right and bottom", 8, 6, B_RGB32, 40, 0, 0, 0, BPoint(15, 17), true},
        {"past the left and top", 8, 6, B_RGBA32, 32, 0, 0, 0, BPoint(-3, -2), true},
        {"bounds away from the origin", 8, 6, B_RGB32, 32, 5, 7, 0, BPoint(2, 2), true},
        {"bytes after the rows", 8, 6, B_RGB32, 32, 0, 0, 100, BPoint(2, 2), true},
        {"wider than the image", 30, 3, B_RGB32, 120, 0, 0, 0, BPoint(-4, 10), true},
        {"a byte short", 8, 6, B_RGB32, 32, 0, 0, -1, BPoint(2, 2), false},
        {"rows too short", 8, 6, B_RGB32, 28, 0, 0, 0, BPoint(2, 2), false},
        {"half-pixel bounds", 8, 6, B_RGB32, 32, 0.5f, 0, 0, BPoint(2, 2), false},
    };
    for (auto& c : cases) {
        GiveImage(20, 20, kBase);
        droppos = c.at;
        BMessage data = RawData(c.w, c.h, c.space, c.rowBytes, c.left, c.top, c.extra);
        Deliver(&data);
        ASSERT_NE(view->image, nullptr) << c.what;
        EXPECT_EQ(pic, BRect(0, 0, 19, 19)) << c.what;
        EXPECT_STREQ(window->Title(), "base.png[20x20]") << c.what;
        QImage shown = grab_view(view);
        for (int y = 0; y < 20; y++) {
            for (int x = 0; x < 20; x++) {
                int sx = x - (int)c.at.x, sy = y - (int)c.at.y;
                bool inside = c.pasted && sx >= 0 && sx < c.w && sy >= 0 && sy < c.h;
                uint32 expected = inside ? RawPixel(sx, sy) : kBase;
                ASSERT_EQ(Pixel(x, y), expected) << c.what << ": " << x << "," << y;
                // On screen, the pixel made opaque.
                ASSERT_EQ((uint32)shown.pixel(x, y), expected | 0xff000000u)
                    << c.what << ": " << x << "," << y;
            }
        }
    }
}

TEST_F(IntakeTest, RawPixelsOnAnEmptyViewBecomeTheImage)
{
    struct
    {
        int w, h;
        color_space space;
        uint32 rowBytes;
    } cases[] = {
        {12, 9, B_RGB32, 48},
        {12, 9, B_RGBA32, 60},
        {1, 1, B_RGBA32, 4},
    };
    for (auto& c : cases) {
        delete view->image;
        view->image = nullptr;
        view->redraw(true);
        Settle();
        droppos.Set(5, 5);
        BMessage data = RawData(c.w, c.h, c.space, c.rowBytes, 0, 0, 0);
        Deliver(&data);
        ASSERT_NE(view->image, nullptr) << c.w;
        EXPECT_EQ(view->image->ColorSpace(), B_RGB32);
        EXPECT_EQ(pic, BRect(0, 0, c.w - 1, c.h - 1));
        EXPECT_EQ(droppos, BPoint(0, 0));
        char title[64];
        snprintf(title, sizeof(title), "no title[%dx%d]", c.w, c.h);
        EXPECT_STREQ(window->Title(), title);
        QImage shown = grab_view(view);
        for (int y = 0; y < c.h; y++) {
            for (int x = 0; x < c.w; x++) {
                ASSERT_EQ(Pixel(x, y), RawPixel(x, y)) << x << "," << y;
                ASSERT_EQ((uint32)shown.pixel(x, y), RawPixel(x, y) | 0xff000000u) << x << "," << y;
            }
        }
    }
}

// Stands for a drag's source: records the view's reply.
class Source : public BLooper
{
public:
    Source() : BLooper("source") { Run(); }
    void MessageReceived(BMessage* message) override { replies.push_back(*message); }
    std::vector<BMessage> replies;
};

TEST_F(IntakeTest, ANegotiatedDragIsAskedForItsFirstImageType)
{
    Source* source = new Source;
    struct
    {
        std::vector<const char*> types;
        const char* chosen; // null: no reply
    } cases[] = {
        {{"text/plain", "image/png", "image/gif"}, "image/png"},
        {{"text/plain", "text/html"}, nullptr},
        {{"image/x-be-bitmap", "image/png"}, "image/x-be-bitmap"},
        {{"imagery/odd"}, "imagery/odd"},
    };
    for (auto& c : cases) {
        source->replies.clear();
        BMessage offer(B_SIMPLE_DATA);
        offer.AddString("be:clip_name", "clip");
        for (const char* type : c.types)
            offer.AddString("be:types", type);
        BMessenger(view).SendMessage(&offer, source);
        Settle();
        settle(source);
        if (!c.chosen) {
            EXPECT_TRUE(source->replies.empty());
            continue;
        }
        ASSERT_EQ(source->replies.size(), 1u);
        EXPECT_EQ(source->replies[0].what, (uint32)B_COPY_TARGET);
        EXPECT_STREQ(source->replies[0].GetString("be:types", ""), c.chosen);
    }
    source->Lock();
    source->Quit();
}

TEST_F(IntakeTest, ADroppedPictureArrivesThoughItsDataGoesWhenEventsRun)
{
    // On Wayland Qt lets go of a drop's data as soon as its events run
    // again: the view's choice and the data itself must not wait for them.
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    ASSERT_TRUE(Pattern(30, 20).save(&buffer, "PNG"));
    auto* data = new QMimeData;
    data->setData("text/plain", "a picture");
    data->setData("image/png", png);
    QTimer::singleShot(0, data, [&data]() {
        delete data;
        data = nullptr;
    });
    QWidget* widget = BPrivate::ViewBridge::Widget(view);
    ASSERT_NE(widget, nullptr);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(run_until([&] { return strcmp(window->Title(), "no title[30x20]") == 0; }, 20000))
        << window->Title();
    run_until([&] { return data == nullptr; });
    ASSERT_TRUE(view->image);
    EXPECT_EQ(Pixel(29, 19), Pattern(30, 20).pixel(29, 19));
}

TEST_F(IntakeTest, PastesAreUndoneWithinTheHistorysBudget)
{
    GiveImage(100, 100, kBase);
    const uint64 bytes = 100 * 100 * 4;
    for (int i = 0; i < 3; i++) {
        droppos.Set(10 * i, 0);
        BMessage data = BitmapData(10, 10, kDropped + i);
        Deliver(&data);
        // Each paste keeps a copy of the picture before it: twice the
        // picture's bytes hold two of them.
        EXPECT_LE(view->changes.bytes(), 2 * bytes) << i;
    }
    EXPECT_EQ(view->changes.count(), 2);
    BMessenger(view).SendMessage(kUndo);
    Settle();
    EXPECT_EQ(Pixel(20, 0), kBase);
    EXPECT_EQ(Pixel(10, 0), kDropped + 1);

    // A crop to one pixel keeps the budget of the picture it was made from.
    view->cursel = s_sel{true, BRect(0, 0, 0, 0)};
    view->crop();
    EXPECT_EQ(view->changes.count(), 2);
    EXPECT_EQ(view->changes.bytes(), 2 * bytes);
    BMessenger(view).SendMessage(kUndo);
    Settle();
    ASSERT_EQ(pic, BRect(0, 0, 99, 99));
    EXPECT_EQ(Pixel(10, 0), kDropped + 1);
    EXPECT_EQ(Pixel(20, 0), kBase);
    EXPECT_STREQ(window->Title(), "base.png[100x100]");
}

} // namespace
