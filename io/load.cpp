#include "view/tavrinview.h"

#include <BitmapStream.h>
#include <File.h>
#include <LongWork.h>
#include <Node.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include "app/tavrin.h"
#include "io/convert.h"

#include <cstdio>
#include <cstring>

namespace {

// Bytes in the character that starts with b; 0 at the end of the text.
int char_length(unsigned char b)
{
    if (b == 0)
        return 0;
    if (b < 0x80)
        return 1;
    if (b < 0xe0)
        return 2;
    return 3;
}

// The length of the character at s, cut short where the text ends: a
// character broken off by the NUL counts as the fragment that is there.
int bounded_length(const char* s)
{
    int n = char_length(static_cast<unsigned char>(s[0]));
    for (int i = 1; i < n; i++) {
        if (s[i] == '\0')
            return i;
    }
    return n;
}

// Reads a string attribute of at most limit bytes into text (limit + 1 long).
bool read_attribute(BNode& node, const char* name, char* text, size_t limit)
{
    text[0] = '\0';
    ssize_t n = node.ReadAttr(name, B_STRING_TYPE, 0, text, limit);
    if (n <= 0)
        return false;
    text[n] = '\0';
    return true;
}

// The postal code's seven boxes: left edge and width.
const struct
{
    int left;
    int width;
} kZipBoxes[7] = {{180, 28}, {208, 28}, {236, 28}, {266, 27}, {293, 27}, {320, 27}, {347, 27}};

// Whether a character of the postal code only separates digits: a hyphen,
// dash or minus sign, or a space, in their ASCII or full-width forms.
bool zip_separator(const char* c, int length)
{
    static const char* const kSeparators[] = {"-",      " ",      "\t",     "\u2010", "\u2011",
                                              "\u2012", "\u2013", "\u2014", "\u2015", "\u2212",
                                              "\u30fc", "\uff0d", "\u3000"};
    for (const char* separator : kSeparators) {
        if ((int)strlen(separator) == length && memcmp(separator, c, length) == 0)
            return true;
    }
    return false;
}

// The characters of a postal code that go into the boxes, in order: up to
// seven, separators skipped. Full-width digits become plain ones, so that
// every way of writing a code draws the same card.
int zip_digits(const char* zip, char boxes[7][4])
{
    int count = 0;
    while (*zip && count < 7) {
        int length = bounded_length(zip);
        if (!zip_separator(zip, length)) {
            const unsigned char* u = reinterpret_cast<const unsigned char*>(zip);
            if (length == 3 && u[0] == 0xef && u[1] == 0xbc && u[2] >= 0x90 && u[2] <= 0x99) {
                boxes[count][0] = (char)('0' + (u[2] - 0x90));
                boxes[count][1] = '\0';
            } else {
                memcpy(boxes[count], zip, length);
                boxes[count][length] = '\0';
            }
            count++;
        }
        zip += length;
    }
    return count;
}

} // namespace

int tavrinview::utf8len(char* s)
{
    int count = 0;
    while (*s) {
        s += bounded_length(s);
        count++;
    }
    return count;
}

int tavrinview::utf8chr(char* s, int n, char* out)
{
    if (n < 0 || n >= utf8len(s))
        return -1;
    for (int i = 0; i < n; i++)
        s += bounded_length(s);
    int length = bounded_length(s);
    memcpy(out, s, length);
    out[length] = '\0';
    return 0;
}

void tavrinview::load(entry_ref& ref)
{
    delete image;
    image = nullptr;

    // Only a regular file loads. A FIFO, socket, device or folder is a file
    // that yields nothing: reading one may wait for ever or never end.
    BNode node(&ref);
    if (!node.IsFile()) {
        redraw(true);
        return;
    }
    char firstname[32], lastname[32], zip[16], address[128];
    uint32 found = 0;
    if (read_attribute(node, "META:firstname", firstname, 31))
        found |= 0x1;
    if (read_attribute(node, "META:lastname", lastname, 31))
        found |= 0x2;
    if (read_attribute(node, "META:zip", zip, 15))
        found |= 0x4;
    if (read_attribute(node, "META:address", address, 127))
        found |= 0x8;

    if (found) {
        // An address card; the document name stays as it was.
        BBitmap* card = new BBitmap(BRect(0, 0, 399, 591), B_RGB32, true, false);
        if (!card->IsValid()) {
            delete card;
            redraw(true);
            return;
        }
        BView* drawing = new BView(BRect(0, 0, 399, 591), "drawbitmap", 2, B_WILL_DRAW);
        card->Lock();
        card->AddChild(drawing);
        drawing->SetHighColor(0, 0, 0, 255);
        drawing->SetLowColor(255, 255, 255, 255);
        drawing->FillRect(BRect(0, 0, 399, 591), B_SOLID_LOW);

        BFont font;
        font_height height;

        // Postal code: the largest size up to 30 whose line fits 32 pixels.
        float size = 30;
        font.SetSize(size);
        font.GetHeight(&height);
        while (height.ascent + height.descent > 32 && size > 1) {
            size -= 1;
            font.SetSize(size);
            font.GetHeight(&height);
        }
        drawing->SetFont(&font, B_FONT_ALL);
        char digits[7][4];
        int boxes = zip_digits(zip, digits);
        for (int i = 0; i < boxes; i++) {
            const char* digit = digits[i];
            int w = (int)drawing->StringWidth(digit);
            int x = kZipBoxes[i].left + (kZipBoxes[i].width - w) / 2;
            drawing->DrawString(digit, BPoint(x, height.ascent + 50));
        }

        // Address, one character a line.
        char character[4];
        font.SetSize(20);
        font.GetHeight(&height);
        drawing->SetFont(&font, B_FONT_ALL);
        int count = utf8len(address);
        for (int j = 0; j < count; j++) {
            utf8chr(address, j, character);
            int w = (int)drawing->StringWidth(character);
            drawing->DrawString(character,
                                BPoint(320 - w / 2, 150 + j * (height.ascent + height.descent)));
        }

        // The addressee's name and the honorific.
        font.SetSize(40);
        font.GetHeight(&height);
        drawing->SetFont(&font, B_FONT_ALL);
        char name[68];
        snprintf(name, sizeof(name), "%s %s %c%c%c", lastname, firstname, 0xe6, 0xa7, 0x98);
        count = utf8len(name);
        for (int j = 0; j < count; j++) {
            utf8chr(name, j, character);
            int w = (int)drawing->StringWidth(character);
            drawing->DrawString(character,
                                BPoint(200 - w / 2, 180 + j * (height.ascent + height.descent)));
        }

        drawing->Sync();
        card->RemoveChild(drawing);
        card->Unlock();
        delete drawing;
        image = card;
    } else {
        BFile file(&ref, B_READ_ONLY);
        snprintf(title, sizeof(title), "%s", ref.name ? ref.name : "");
        // Decoding a large picture takes a while: it runs off the GUI thread
        // while this window waits, and the window shows how far the
        // translator has read.
        BPrivate::WatchedIO watched(&file);
        BBitmap* decoded = nullptr;
        BPrivate::run_long_work(
            [&]() -> status_t {
                BBitmapStream stream;
                // The name may have been given to something else since the
                // node was looked at; the file opened is checked again.
                if (!tr || !file.IsFile())
                    return B_NO_INIT;
                status_t status = tr->Translate(&watched, nullptr, nullptr, &stream,
                                                B_TRANSLATOR_BITMAP, 0, nullptr);
                if (status == B_OK)
                    status = stream.DetachBitmap(&decoded);
                // Every later pixel copy takes 32-bit words: convert anything
                // else now.
                if (status == B_OK)
                    decoded = make_copyable(decoded);
                return status;
            },
            [&]() { return watched.Fraction(); });
        image = decoded;
    }
    redraw(true);
}
