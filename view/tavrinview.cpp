#include "view/tavrinview.h"

#include <Checkerboard.h>
#include <FilePanel.h>
#include <PixelSize.h>
#include <Window.h>

#include "app/version.h"
#include "dnd/clipboard.h"
#include "window/resize.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

BRect pic(0, 0, -1, -1);

tavrinview::tavrinview(BRect frame)
    : BView(frame, "tavrinview", B_FOLLOW_ALL_SIDES, B_WILL_DRAW | B_PULSE_NEEDED), image(nullptr),
      dragbitmap(nullptr), panel(nullptr), mousemode(kGestureNone),
      anchor(0, 0), oldsel{false, BRect(0, 0, -1, -1)}, cursel{false, BRect(0, 0, -1, -1)},
      format_no(0), fitting(false), keepzoom(false), clip(nullptr), origin{nullptr, BRect()},
      originof(nullptr), lastformat(-1), capturedelay(0), captureframe(false)
{
    strcpy(title, kDefaultTitle);
}

tavrinview::~tavrinview()
{
    delete image;
    delete dragbitmap;
    if (clip && clip->Looper())
        clip->Looper()->RemoveHandler(clip);
    delete clip;
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
    if (!clip) {
        clip = new clipkeeper;
        Window()->AddHandler(clip);
    }
}

void tavrinview::Draw(BRect update)
{
    if (IsPrinting()) {
        // The whole picture, stretched over what the print job asks for.
        DrawBitmap(image, pic, update);
    } else if (image) {
        // The picture in the display's colours; its own pixels stay as they
        // are for everything else.
        const BBitmap* shown = displaycopy.For(image);
        if (image->ColorSpace() == B_RGBA32) {
            // Transparent parts show the checkerboard through.
            BRect under = update & pic;
            if (under.IsValid())
                BPrivate::fill_checkerboard(this, under);
            SetDrawingMode(B_OP_ALPHA);
            DrawBitmap(shown, update, update);
            SetDrawingMode(B_OP_COPY);
        } else {
            DrawBitmap(shown, update, update);
        }
        _FillOutside(update);
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
    // With a picture the view counts the screen's device pixels, so that it
    // is shown pixel for pixel whatever the desktop's scale factor: a new
    // picture at 100 % (or fitted, while fitting), a cropped one at the zoom
    // it had. The empty view counts the desktop's units, as the window does.
    if (!image)
        SetPixelScale(0);
    else if ((resize && !keepzoom) || PixelScale() == 0)
        SetPixelScale(1);
    keepzoom = false;
    if (image) {
        // The image covers the view: no clearing before each Draw.
        SetViewColor(B_TRANSPARENT_32_BIT);
        pic = image->Bounds();
        if (resize && window)
            resizeview(window, (int)(pic.right - pic.left), (int)(pic.bottom - pic.top));
        if (resize && fitting)
            fitzoom();
        _Title();
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

void tavrinview::_Title()
{
    if (!Window() || !image)
        return;
    char text[kTitleSize];
    compose_title(text, sizeof(text), title, pixel_width(pic), pixel_height(pic), zoom());
    Window()->SetTitle(text);
}

void tavrinview::_FillOutside(BRect update)
{
    // Below the picture's size the view shows black around it, never what
    // an earlier zoom left there.
    if (pic.Contains(update))
        return;
    rgb_color high = HighColor();
    SetHighColor(0, 0, 0);
    BRect parts[] = {BRect(update.left, update.top, update.right, pic.top - 1),
                     BRect(update.left, pic.bottom + 1, update.right, update.bottom),
                     BRect(update.left, pic.top, pic.left - 1, pic.bottom),
                     BRect(pic.right + 1, pic.top, update.right, pic.bottom)};
    for (BRect part : parts) {
        part = part & update;
        if (part.IsValid())
            FillRect(part);
    }
    SetHighColor(high);
}

void compose_title(char* out, size_t size, const char* name, int width, int height, float zoom)
{
    if (size == 0)
        return;
    char suffix[48];
    if (zoom == 1 || !(zoom > 0)) {
        snprintf(suffix, sizeof(suffix), "[%dx%d]", width, height);
    } else {
        // Whole percentages, or one decimal where that says more (12.5%).
        double percent = std::round(zoom * 1000.0) / 10.0;
        if (percent == std::floor(percent) || percent >= 100)
            snprintf(suffix, sizeof(suffix), "[%dx%d] %.0f%%", width, height, percent);
        else
            snprintf(suffix, sizeof(suffix), "[%dx%d] %.1f%%", width, height, percent);
    }
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
