// What is given to the view from outside: file references, another
// program's negotiated drag, and image data, which becomes the image of an
// empty view or is pasted into the current one where it was dropped.

#include "view/tavrinview.h"

#include <Alert.h>
#include <AppDefs.h>
#include <BitmapStream.h>
#include <LongWork.h>
#include <Message.h>
#include <PictureMetadata.h>
#include <PixelSize.h>
#include <StreamCopy.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include "app/tavrin.h"
#include "io/convert.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

void tavrinview::_Intake(BMessage* message)
{
    type_code type;
    int32 count = 0;
    if (message->GetInfo("refs", &type, &count) == B_OK) {
        _OpenRefs(message);
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

void tavrinview::_OpenRefs(BMessage* message)
{
    // The first reference that gives an image is the one shown. When none
    // does, the view keeps its picture and says why the first one failed.
    entry_ref ref;
    std::string firstName, firstWhy;
    int32 failed = 0;
    for (int32 i = 0; message->FindRef("refs", i, &ref) == B_OK; i++) {
        std::string why;
        if (load(ref, &why) == B_OK)
            return;
        if (failed++ == 0) {
            firstName = ref.name ? ref.name : "";
            firstWhy = why;
        }
    }
    if (failed == 0)
        return;
    std::string text = "Cannot open " + firstName + ": " + firstWhy;
    if (failed > 1)
        text += " (nor " + std::to_string(failed - 1) +
                (failed == 2 ? " other file)" : " other files)");
    text += ".";
    fprintf(stderr, "tavrin: %s\n", text.c_str());
    BAlert* alert = new BAlert("Open failed", text.c_str(), "OK", nullptr, nullptr,
                               B_WIDTH_AS_USUAL, B_STOP_ALERT);
    alert->Go(nullptr);
}

namespace {

// Dropped image/x-be-bitmap data of 32-bit pixels up to this size is pasted
// straight from the message, on the window's thread: one pass over the
// pixels takes a few milliseconds at most. Anything else is decoded off it.
const uint64 kDirectLimit = 64 << 20;

uint32 big_endian_word(const uint8* bytes)
{
    return (uint32)bytes[0] << 24 | (uint32)bytes[1] << 16 | (uint32)bytes[2] << 8 | bytes[3];
}

float big_endian_float(const uint8* bytes)
{
    uint32 word = big_endian_word(bytes);
    float value;
    memcpy(&value, &word, sizeof(value));
    return value;
}

// The pixels of raw bitmap data that are ready to be copied as they are.
struct raw_rows
{
    const uint8* rows;
    int64 width;
    int64 height;
    int64 rowBytes;
};

// True when data is a bitmap stream of B_RGB32 or B_RGBA32 pixels within
// kDirectLimit whose header is consistent (whole-number edges, rows long
// enough, the data size rowBytes x height) and whose rows are all there.
// Other data goes to the bitmap stream, which applies the same checks and
// handles every other case.
bool direct_rows(const void* data, ssize_t size, raw_rows* out)
{
    const size_t kHeader = B_TRANSLATOR_BITMAP_HEADER_SIZE;
    if (size < (ssize_t)kHeader)
        return false;
    const uint8* bytes = static_cast<const uint8*>(data);
    if (big_endian_word(bytes) != B_TRANSLATOR_BITMAP)
        return false;
    float edges[4];
    for (int i = 0; i < 4; i++) {
        edges[i] = big_endian_float(bytes + 4 + 4 * i);
        if (std::floor(edges[i]) != edges[i])
            return false;
    }
    uint32 rowBytes = big_endian_word(bytes + 20);
    uint32 space = big_endian_word(bytes + 24);
    uint32 dataSize = big_endian_word(bytes + 28);
    if (space != (uint32)B_RGB32 && space != (uint32)B_RGBA32)
        return false;
    int64 width = pixel_span(edges[0], edges[2]);
    int64 height = pixel_span(edges[1], edges[3]);
    if (width <= 0 || height <= 0 || width == INT32_MAX || height == INT32_MAX)
        return false;
    if ((int64)rowBytes < width * 4 || (uint64)rowBytes * (uint64)height != dataSize ||
        dataSize > kDirectLimit || (uint64)size - kHeader < dataSize)
        return false;
    out->rows = bytes + kHeader;
    out->width = width;
    out->height = height;
    out->rowBytes = rowBytes;
    return true;
}

} // namespace

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

    // Edit > Paste: the picture replaces the one shown, as one change.
    bool fresh = message->GetBool("paste:new", false);
    const char* freshName = fresh ? "Pasted" : "no title";
    raw_rows raw;
    if (strcmp(name, "image/x-be-bitmap") == 0 && direct_rows(data, size, &raw)) {
        bool created = false;
        if (!image || fresh) {
            if (!_NewImage(raw.width, raw.height, freshName))
                return;
            created = true;
        }
        _PasteRows(raw.rows, raw.width, raw.height, raw.rowBytes, created);
        return;
    }

    // Decoding large data takes a while: it runs off the GUI thread while
    // this window waits, and the window shows how far it has come.
    BMemoryIO input(data, (size_t)size);
    BPrivate::WatchedIO watched(&input);
    BBitmap* picture = nullptr;
    BMessage extension;
    BPrivate::run_long_work(
        [&]() -> status_t {
            BBitmapStream output;
            if (strcmp(name, "image/x-be-bitmap") == 0) {
                // The platform's own bitmap stream: copied as it is. The
                // bitmap stream checks the header, and refuses sizes past the
                // decoders' limit.
                BPrivate::copy_stream(&watched, &output);
            } else if (tr) {
                tr->Translate(&watched, nullptr, &extension, &output, B_TRANSLATOR_BITMAP, 0, name);
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
    if (!image || fresh) {
        BRect bounds = picture->Bounds();
        if (!_NewImage(pixel_width(bounds), pixel_height(bounds), freshName)) {
            delete picture;
            return;
        }
        // A picture dropped on the empty view is that picture, with its
        // profile and metadata.
        BPrivate::PictureMetadata metadata;
        metadata.SetFrom(&extension);
        image->SetMetadata(metadata);
        created = true;
    }
    _PasteRows(static_cast<const uint8*>(picture->Bits()), pixel_width(picture->Bounds()),
               pixel_height(picture->Bounds()), picture->BytesPerRow(), created);
    delete picture;
}

bool tavrinview::_NewImage(int32 w, int32 h, const char* name)
{
    droppos.Set(0, 0);
    pic.Set(0, 0, w - 1, h - 1);
    // A new bitmap is black and transparent throughout.
    BBitmap* fresh = new BBitmap(pic, B_RGB32, false, false);
    if (!fresh->IsValid()) {
        delete fresh;
        redraw(true);
        return false;
    }
    _Replace(fresh);
    snprintf(title, sizeof(title), "%s", name);
    docname = "untitled";
    return true;
}

void tavrinview::_PasteRows(const uint8* rows, int64 w, int64 h, int64 rowBytes, bool created)
{
    // Whatever set droppos, a position past the checks pastes nothing.
    if (!usable_drop_position(droppos)) {
        if (created)
            _HistoryChanged();
        redraw(created);
        return;
    }
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
    bool pasted = left <= right && top <= bottom;
    // The picture before the paste is kept for Undo; without memory for
    // that, nothing is pasted.
    if (pasted && !created && !_Remember(true).source)
        return;
    if (pasted) {
        // Written straight into the pixels: the bitmap is told when done, so
        // that what the view keeps of it (a reduced copy) is made again.
        image->LockBits();
        uint32* target = static_cast<uint32*>(image->Bits());
        for (int64 y = top; y <= bottom; y++) {
            memcpy(target + (size_t)(oy + y) * imageWidth + ox + left,
                   rows + (size_t)y * rowBytes + (size_t)left * 4, (size_t)(right - left + 1) * 4);
        }
        image->UnlockBits();
    }
    if (created || pasted)
        _HistoryChanged();
    if (created) {
        redraw(true);
    } else if (pasted) {
        // The window and its title stay as they are: only the pixels pasted
        // are drawn again.
        BRect changed(ox + left, oy + top, ox + right, oy + bottom);
        BRect visible = changed & Bounds();
        if (visible.IsValid())
            Draw(visible);
    }
}
