// What is given to the view from outside: file references, another
// program's negotiated drag, and image data, which becomes the image of an
// empty view or is pasted into the current one where it was dropped.

#include "view/tavrinview.h"

#include <AppDefs.h>
#include <BitmapStream.h>
#include <LongWork.h>
#include <Message.h>
#include <PixelSize.h>
#include <StreamCopy.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include "app/tavrin.h"
#include "io/convert.h"

#include <algorithm>
#include <cstring>

void tavrinview::_Intake(BMessage* message)
{
    type_code type;
    int32 count = 0;
    if (message->GetInfo("refs", &type, &count) == B_OK) {
        // The first reference that gives an image is the one shown.
        entry_ref ref;
        for (int32 i = 0; i < count; i++) {
            if (message->FindRef("refs", i, &ref) != B_OK)
                continue;
            load(ref);
            if (image)
                break;
        }
        return;
    }

    const char* clip;
    if (message->FindString("be:clip_name", &clip) == B_OK) {
        // A negotiated drag: ask for the first image type offered.
        const char* offered;
        for (int32 i = 0; message->FindString("be:types", i, &offered) == B_OK; i++) {
            if (strncmp(offered, "image", 5) == 0) {
                BMessage reply(B_COPY_TARGET);
                reply.AddString("be:types", offered);
                message->SendReply(&reply, this, B_INFINITE_TIMEOUT);
                return;
            }
        }
        return;
    }

    _TakeData(message);
}

void tavrinview::_TakeData(BMessage* message)
{
    char* name = nullptr;
    type_code type;
    if (message->GetInfo(B_MIME_TYPE, 0, &name, &type) != B_OK || !name)
        return;
    if (strncmp(name, "image", 5) != 0)
        return;
    const void* data = nullptr;
    ssize_t size = 0;
    if (message->FindData(name, B_MIME_TYPE, &data, &size) != B_OK)
        return;

    // Decoding large data takes a while: it runs off the GUI thread while
    // this window waits, and the window shows how far it has come.
    BMemoryIO input(data, (size_t)size);
    BPrivate::WatchedIO watched(&input);
    BBitmap* picture = nullptr;
    BPrivate::run_long_work(
        [&]() -> status_t {
            BBitmapStream output;
            if (strcmp(name, "image/x-be-bitmap") == 0) {
                // The platform's own bitmap stream: copied as it is. The
                // bitmap stream checks the header, and refuses sizes past the
                // decoders' limit.
                BPrivate::copy_stream(&watched, &output);
            } else if (tr) {
                tr->Translate(&watched, nullptr, nullptr, &output, B_TRANSLATOR_BITMAP, 0, name);
            }
            status_t status = output.DetachBitmap(&picture);
            if (status == B_OK && picture)
                picture = make_copyable(picture);
            return status;
        },
        [&]() { return watched.Fraction(); });
    if (!picture)
        return;

    bool created = false;
    if (!image) {
        BRect bounds = picture->Bounds();
        int32 w = pixel_width(bounds);
        int32 h = pixel_height(bounds);
        droppos.Set(0, 0);
        pic.Set(0, 0, w - 1, h - 1);
        image = new BBitmap(pic, B_RGB32, false, false);
        if (!image->IsValid()) {
            delete image;
            image = nullptr;
            delete picture;
            redraw(true);
            return;
        }
        memset(image->Bits(), 0, image->BitsLength());
        strcpy(title, "no title");
        created = true;
    }
    _Paste(picture, created);
}

void tavrinview::_Paste(BBitmap* picture, bool created)
{
    // Whatever set droppos, a position past the checks pastes nothing.
    if (!usable_drop_position(droppos)) {
        delete picture;
        redraw(created);
        return;
    }
    BRect bounds = picture->Bounds();
    int64 w = pixel_width(bounds);
    int64 h = pixel_height(bounds);
    int64 ox = (int64)droppos.x;
    int64 oy = (int64)droppos.y;

    // Only the source pixels whose destination lies on the image are copied,
    // whole words, alpha included: rows and columns clipped in advance, in
    // 64 bits so that no position can overflow.
    BRect area = pic;
    int64 imageWidth = image->BytesPerRow() / 4;
    int64 imageRows = image->BitsLength() / image->BytesPerRow();
    int64 left = std::max<int64>(0, (int64)area.left - ox);
    int64 top = std::max<int64>(0, (int64)area.top - oy);
    int64 right = std::min<int64>({w - 1, (int64)area.right - ox, imageWidth - 1 - ox});
    int64 bottom = std::min<int64>({h - 1, (int64)area.bottom - oy, imageRows - 1 - oy});
    if (left <= right && top <= bottom) {
        const uint32* source = static_cast<const uint32*>(picture->Bits());
        uint32* target = static_cast<uint32*>(image->Bits());
        for (int64 y = top; y <= bottom; y++) {
            memcpy(target + (size_t)(oy + y) * imageWidth + ox + left,
                   source + (size_t)y * w + left, (size_t)(right - left + 1) * 4);
        }
    }
    delete picture;
    redraw(created);
}
