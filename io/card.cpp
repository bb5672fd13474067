#include "io/card.h"

#include <Font.h>
#include <View.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The card, 400 by 592 pixels, black on white.
const BRect kCardBounds(0, 0, 399, 591);

// The postal code: the largest size up to kZipLargestSize whose line fits
// kZipLineHeight, its baseline kZipBaseline below the top of that line.
const float kZipLargestSize = 30;
const float kZipLineHeight = 32;
const float kZipBaseline = 50;

// The postal code's seven boxes: left edge and width.
const struct
{
    int left;
    int width;
} kZipBoxes[7] = {{180, 28}, {208, 28}, {236, 28}, {266, 27}, {293, 27}, {320, 27}, {347, 27}};

// A column of characters, one a line, centred on a vertical line: the
// largest size, the centre line, the first line's baseline at that size, and
// the lowest row the text may reach. A text too long for its column is drawn
// smaller, as a printed card would, but not below kSmallestSize; past that
// the rest is lost at the edge of the card.
struct column
{
    float largest;
    int centre;
    int top;
    int bottom;
};
const column kAddressColumn = {20, 320, 150, 575};
const column kNameColumn = {40, 200, 180, 575};
const float kSmallestSize = 8;

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

// Whether a character of the postal code takes no box: a hyphen, dash or
// minus sign, or a space, in their ASCII, full-width and half-width forms, and
// the postal mark (plain, circled or as a face) written before the code.
bool zip_skipped(const char* c, int length)
{
    static const char* const kSkipped[] = {
        "-",      " ",      "\t",     "\u2010", "\u2011", "\u2012", "\u2013", "\u2014", "\u2015",
        "\u2212", "\u30fc", "\uff0d", "\uff70", "\ufe63", "\u3000", "\u3012", "\u3036", "\u3020"};
    for (const char* skipped : kSkipped) {
        if ((int)strlen(skipped) == length && memcmp(skipped, c, length) == 0)
            return true;
    }
    return false;
}

// The characters of a postal code that go into the boxes, in order: up to
// seven, separators and the postal mark skipped. Full-width digits become
// plain ones, so that every way of writing a code draws the same card.
int zip_digits(const char* zip, char boxes[7][4])
{
    int count = 0;
    while (*zip && count < 7) {
        int length = bounded_length(zip);
        if (!zip_skipped(zip, length)) {
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

void draw_zip(BView* drawing, const char* zip)
{
    BFont font;
    font_height height;
    float size = kZipLargestSize;
    font.SetSize(size);
    font.GetHeight(&height);
    while (height.ascent + height.descent > kZipLineHeight && size > 1) {
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
        drawing->DrawString(digit, BPoint(x, height.ascent + kZipBaseline));
    }
}

void draw_column(BView* drawing, const column& where, const char* text)
{
    int count = utf8_length(text);
    BFont font;
    font_height largest;
    font.SetSize(where.largest);
    font.GetHeight(&largest);
    // The column starts at the top of its first line at the largest size,
    // and its last line's descenders stay above the bottom.
    float room = where.bottom + 1 - (where.top - largest.ascent);
    font_height height = largest;
    for (float size = where.largest;
         count * (height.ascent + height.descent) > room && size > kSmallestSize;) {
        size -= 1;
        font.SetSize(size);
        font.GetHeight(&height);
    }
    drawing->SetFont(&font, B_FONT_ALL);
    float first = where.top - (largest.ascent - height.ascent);
    char character[4];
    for (int j = 0; j < count; j++) {
        utf8_char(text, j, character);
        int w = (int)drawing->StringWidth(character);
        drawing->DrawString(
            character, BPoint(where.centre - w / 2, first + j * (height.ascent + height.descent)));
    }
}

} // namespace

int utf8_length(const char* s)
{
    int count = 0;
    while (*s) {
        s += bounded_length(s);
        count++;
    }
    return count;
}

int utf8_char(const char* s, int n, char* out)
{
    if (n < 0 || n >= utf8_length(s))
        return -1;
    for (int i = 0; i < n; i++)
        s += bounded_length(s);
    int length = bounded_length(s);
    memcpy(out, s, length);
    out[length] = '\0';
    return 0;
}

size_t utf8_whole_length(const char* s, size_t length)
{
    size_t whole = 0;
    while (whole < length) {
        size_t next = whole + std::max(1, char_length(static_cast<unsigned char>(s[whole])));
        if (next > length)
            break;
        whole = next;
    }
    return whole;
}

BBitmap* draw_card(const char* firstname, const char* lastname, const char* zip,
                   const char* address)
{
    BBitmap* card = new BBitmap(kCardBounds, B_RGB32, true, false);
    if (!card->IsValid()) {
        delete card;
        return nullptr;
    }
    BView* drawing = new BView(kCardBounds, "drawbitmap", 2, B_WILL_DRAW);
    card->Lock();
    card->AddChild(drawing);
    drawing->SetHighColor(0, 0, 0, 255);
    drawing->SetLowColor(255, 255, 255, 255);
    drawing->FillRect(kCardBounds, B_SOLID_LOW);

    draw_zip(drawing, zip);
    draw_column(drawing, kAddressColumn, address);
    // The addressee's name and the honorific.
    std::string name = std::string(lastname) + " " + firstname + " \u69d8";
    draw_column(drawing, kNameColumn, name.c_str());

    drawing->Sync();
    card->RemoveChild(drawing);
    card->Unlock();
    // Once detached, the view is no longer the card's to delete.
    delete drawing;
    return card;
}
