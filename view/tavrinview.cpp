#include "view/tavrinview.h"

#include <FilePanel.h>
#include <PixelSize.h>
#include <Window.h>

#include "app/version.h"
#include "window/resize.h"

#include <cstdio>
#include <cstring>

BRect pic(0, 0, -1, -1);

tavrinview::tavrinview(BRect frame)
    : BView(frame, "tavrinview", B_FOLLOW_ALL_SIDES, B_WILL_DRAW | B_PULSE_NEEDED), image(nullptr),
      dragbitmap(nullptr), panel(nullptr), mousemode(kGestureNone),
      anchor(0, 0), oldsel{false, BRect(0, 0, -1, -1)}, cursel{false, BRect(0, 0, -1, -1)},
      format_no(0)
{
    strcpy(title, kDefaultTitle);
}

tavrinview::~tavrinview()
{
    delete image;
    delete dragbitmap;
    for (BFilePanel* retired : fRetiredPanels)
        delete retired;
    delete panel;
}

void tavrinview::AttachedToWindow()
{
    SetHighColor(255, 255, 255, 255);
    SetViewColor(0, 0, 0, 255);
    SetLowColor(100, 100, 100, 255);
    SetFont(be_bold_font, B_FONT_ALL);
}

void tavrinview::Draw(BRect update)
{
    if (IsPrinting()) {
        // The whole picture, stretched over what the print job asks for.
        DrawBitmap(image, pic, update);
    } else if (image) {
        DrawBitmap(image, update, update);
    } else {
        SetFontSize(30);
        DrawString("tavrin", BPoint(45, 50));
        SetFontSize(20);
        DrawString(TAVRIN_VERSION, BPoint(75, 80));
    }
}

void tavrinview::redraw(bool resize)
{
    BWindow* window = Window();
    if (image) {
        // The image covers the view: no clearing before each Draw.
        SetViewColor(B_TRANSPARENT_32_BIT);
        pic = image->Bounds();
        if (resize && window)
            resizeview(window, (int)(pic.right - pic.left), (int)(pic.bottom - pic.top));
        char text[kTitleSize];
        compose_title(text, sizeof(text), title, pixel_width(pic), pixel_height(pic));
        if (window)
            window->SetTitle(text);
        Draw(Bounds());
    } else {
        Hide();
        SetViewColor(0, 0, 0, 255);
        pic.Set(-1, -1, -1, -1);
        if (resize && window)
            resizeview(window, 0, 0);
        if (window)
            window->SetTitle(kDefaultTitle);
        Show();
    }
}

namespace {

// Steps back from position i of s to the first byte of the character there.
size_t char_start(const char* s, size_t i)
{
    while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xc0) == 0x80)
        i--;
    return i;
}

} // namespace

void compose_title(char* out, size_t size, const char* name, int width, int height)
{
    if (size == 0)
        return;
    char suffix[32];
    snprintf(suffix, sizeof(suffix), "[%dx%d]", width, height);
    size_t suffixLen = strlen(suffix);
    size_t nameLen = strlen(name);
    if (nameLen + suffixLen < size) {
        snprintf(out, size, "%s%s", name, suffix);
        return;
    }
    static const char kEllipsis[] = "\xe2\x80\xa6";
    const size_t ellipsisLen = 3;
    if (suffixLen + ellipsisLen >= size) {
        snprintf(out, size, "%s", suffix);
        return;
    }
    size_t room = size - 1 - suffixLen - ellipsisLen;

    // Keep the extension and a little before it at the end, the rest of the
    // room at the start.
    const char* dot = strrchr(name, '.');
    size_t extension = dot ? (size_t)(name + nameLen - dot) : 0;
    size_t tail = std::min(room / 2, std::max(extension + 2, room / 3));
    size_t head = room - tail;

    size_t headEnd = char_start(name, head);
    size_t tailStart = nameLen - tail;
    // Move forward to the next whole character.
    while (tailStart < nameLen && (static_cast<unsigned char>(name[tailStart]) & 0xc0) == 0x80)
        tailStart++;

    size_t pos = 0;
    memcpy(out + pos, name, headEnd);
    pos += headEnd;
    memcpy(out + pos, kEllipsis, ellipsisLen);
    pos += ellipsisLen;
    memcpy(out + pos, name + tailStart, nameLen - tailStart);
    pos += nameLen - tailStart;
    memcpy(out + pos, suffix, suffixLen);
    pos += suffixLen;
    out[pos] = '\0';
}
