// Edit > Undo and Redo. Every change of the picture (a crop, a paste, a
// picture opened, captured, dropped or closed) first records what the view
// showed; undoing gives back that picture bit for bit, with its name, scroll
// position and zoom.

#include "view/tavrinview.h"

#include <PictureMetadata.h>
#include <Window.h>

#include "window/tavrinwindow.h"

#include <cstdio>
#include <cstring>

namespace {

// A bitmap of its own holding area of source, pixel for pixel; null when
// there is no memory for it.
BBitmap* copy_area(const BBitmap* source, BRect area)
{
    BRect bounds(0, 0, area.Width(), area.Height());
    BBitmap* copy = new BBitmap(bounds, source->ColorSpace(), false, false);
    if (!copy->IsValid()) {
        delete copy;
        return nullptr;
    }
    // The program's pictures are all of 32-bit pixels.
    int64 bytesPerPixel = 4;
    int64 from = source->BytesPerRow();
    int64 to = copy->BytesPerRow();
    int64 left = (int64)(area.left - source->Bounds().left);
    int64 top = (int64)(area.top - source->Bounds().top);
    int64 width = (int64)area.Width() + 1;
    int64 height = (int64)area.Height() + 1;
    if (left < 0 || top < 0 || (left + width) * bytesPerPixel > from ||
        (top + height) * from > source->BitsLength() || width * bytesPerPixel > to) {
        delete copy;
        return nullptr;
    }
    const uint8* rows =
        static_cast<const uint8*>(source->Bits()) + top * from + left * bytesPerPixel;
    uint8* target = static_cast<uint8*>(copy->Bits());
    for (int64 y = 0; y < height; y++)
        memcpy(target + y * to, rows + y * from, (size_t)(width * bytesPerPixel));
    // The profile and the camera's data stay with the pixels; the Exif sizes
    // follow them (and a thumbnail of the whole picture goes).
    BPrivate::PictureMetadata metadata = source->Metadata();
    metadata.FitTo((uint32)width, (uint32)height);
    if (area != source->Bounds())
        metadata.DropThumbnail();
    copy->SetMetadata(metadata);
    return copy;
}

} // namespace

s_step tavrinview::_Now(bool keepimage)
{
    s_step now;
    now.title = title;
    now.docname = docname;
    now.scroll = Bounds().LeftTop();
    now.zoom = zoom();
    if (!image) {
        now.picture = s_picture{nullptr, BRect()};
    } else if (origin.source && originof == image) {
        // The image is a copy of this part of a source the history holds.
        now.picture = origin;
        if (!keepimage) {
            delete image;
            image = nullptr;
        }
    } else if (keepimage) {
        // Without memory for the copy there is no picture to go back to.
        BBitmap* copy = copy_area(image, image->Bounds());
        if (copy)
            now.picture = s_picture{std::make_shared<s_source>(copy), image->Bounds()};
    } else {
        now.picture = s_picture{std::make_shared<s_source>(image), image->Bounds()};
        image = nullptr;
    }
    origin = s_picture{nullptr, BRect()};
    originof = nullptr;
    return now;
}

s_picture tavrinview::_Remember(bool keepimage)
{
    bool shown = image != nullptr;
    s_step before = _Now(keepimage);
    s_picture recorded = before.picture;
    if (shown && !recorded.source)
        return recorded;
    changes.record(std::move(before));
    return recorded;
}

void tavrinview::_Replace(BBitmap* fresh)
{
    _Remember(false);
    image = fresh;
}

void tavrinview::_Restore(s_step& step)
{
    s_source* source = step.picture.source.get();
    BBitmap* restored = nullptr;
    if (source && source->bitmap) {
        if (step.picture.source.use_count() == 1 && step.picture.area == source->bitmap->Bounds()) {
            // No other step needs the source: it becomes the image itself.
            restored = source->bitmap;
            source->bitmap = nullptr;
        } else {
            restored = copy_area(source->bitmap, step.picture.area);
            if (restored) {
                origin = step.picture;
                originof = restored;
            }
        }
    }
    image = restored;
    snprintf(title, sizeof(title), "%s", step.title.c_str());
    docname = step.docname;
    cursel.visible = false;
    if (image) {
        SetPixelScale(step.zoom > 0 ? step.zoom : 1);
        keepzoom = true;
    }
    redraw(true);
    if (image)
        _ScrollWithin(step.scroll);
}

void tavrinview::undo()
{
    if (!changes.canundo())
        return;
    s_step earlier;
    changes.undo(_Now(false), &earlier);
    _Restore(earlier);
    _HistoryChanged(false);
}

void tavrinview::redo()
{
    if (!changes.canredo())
        return;
    s_step later;
    changes.redo(_Now(false), &later);
    _Restore(later);
    _HistoryChanged(false);
}

void tavrinview::_HistoryChanged(bool changed)
{
    // Undo and redo only move steps and pictures between the history and
    // the view; a change is what can take the history past its budget.
    if (changed)
        changes.trim(image ? (uint64)image->BitsLength() : 0);
    if (auto* window = dynamic_cast<tavrinwindow*>(Window()))
        window->updatemenus();
}

void tavrinview::crop()
{
    if (!image || !cursel.visible || !_ClipSelection())
        return;
    BRect rect = cursel.rect;
    BBitmap* cropped = copy_area(image, rect);
    if (!cropped)
        return;
    // The picture before the crop is kept whole as the crop's source; the
    // cropped picture is a copy of a part of it.
    s_picture before = _Remember(false);
    BPoint corner = before.area.LeftTop();
    origin = s_picture{before.source, rect.OffsetByCopy(corner.x, corner.y)};
    originof = cropped;
    image = cropped;
    cursel.visible = false;
    keepzoom = true;
    redraw(true);
    _HistoryChanged();
}
