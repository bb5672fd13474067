#include <Bitmap.h>

#include <PixelSize.h>
#include <View.h>

#include "ViewPrivate.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

struct BBitmap::ViewHost
{
    std::recursive_mutex lock;
    int32 lockCount = 0;
    std::vector<BView*> children;
};

int32 BBitmap::BytesPerRowFor(color_space space, int32 width)
{
    if (width <= 0)
        return 0;
    int64 bits;
    switch (space) {
    case B_RGB32:
    case B_RGBA32:
    case B_RGB32_BIG:
    case B_RGBA32_BIG:
        // 32-bit rows are exactly width x 4 bytes: pixel copies rely on it.
        return (int64)width * 4 > INT32_MAX ? 0 : width * 4;
    case B_RGB24:
    case B_RGB24_BIG:
        bits = (int64)width * 24;
        break;
    case B_RGB16:
    case B_RGB15:
    case B_RGBA15:
    case B_RGB16_BIG:
    case B_RGB15_BIG:
    case B_RGBA15_BIG:
        bits = (int64)width * 16;
        break;
    case B_CMAP8:
    case B_GRAY8:
        bits = (int64)width * 8;
        break;
    case B_GRAY1:
        bits = width;
        break;
    case B_RGB48:
    case B_RGB48_BIG:
        bits = (int64)width * 48;
        break;
    case B_RGBA64:
    case B_RGBA64_BIG:
        bits = (int64)width * 64;
        break;
    default:
        return 0;
    }
    // Other spaces pad each row to a whole number of 32-bit words.
    int64 bytes = ((bits + 31) / 32) * 4;
    return bytes > INT32_MAX ? 0 : (int32)bytes;
}

BBitmap::BBitmap(BRect bounds, uint32 flags, color_space colorSpace, int32 bytesPerRow)
{
    _Init(bounds, flags, colorSpace, bytesPerRow);
}

BBitmap::BBitmap(BRect bounds, color_space colorSpace, bool acceptsViews, bool needsContiguous)
{
    _Init(bounds,
          (acceptsViews ? B_BITMAP_ACCEPTS_VIEWS : 0) |
              (needsContiguous ? B_BITMAP_IS_CONTIGUOUS : 0),
          colorSpace, B_ANY_BYTES_PER_ROW);
}

BBitmap::BBitmap(const BBitmap* source, bool acceptsViews, bool needsContiguous)
{
    if (!source || !source->IsValid()) {
        _Init(BRect(), 0, B_NO_COLOR_SPACE, B_ANY_BYTES_PER_ROW);
        return;
    }
    _Init(source->Bounds(), acceptsViews ? B_BITMAP_ACCEPTS_VIEWS : 0, source->ColorSpace(),
          source->BytesPerRow());
    if (IsValid())
        memcpy(fBits, source->Bits(), fBitsLength);
}

void BBitmap::_Init(BRect bounds, uint32 flags, color_space colorSpace, int32 bytesPerRow)
{
    fBits = nullptr;
    fBitsLength = 0;
    fBytesPerRow = 0;
    fColorSpace = colorSpace;
    fBounds = bounds;
    fFlags = flags;
    fInitStatus = B_NO_INIT;
    fViewHost = nullptr;

    if (!bounds.IsValid() || !std::isfinite(bounds.Width()) || !std::isfinite(bounds.Height()) ||
        bounds.Width() > float(INT32_MAX / 2) || bounds.Height() > float(INT32_MAX / 2)) {
        fInitStatus = B_BAD_VALUE;
        return;
    }
    int32 width = pixel_width(bounds);
    int32 height = pixel_height(bounds);
    int32 minimum = BytesPerRowFor(colorSpace, width);
    if (minimum == 0) {
        fInitStatus = B_BAD_VALUE;
        return;
    }
    if (bytesPerRow == B_ANY_BYTES_PER_ROW || colorSpace == B_RGB32 || colorSpace == B_RGBA32)
        bytesPerRow = minimum;
    if (bytesPerRow < minimum) {
        fInitStatus = B_BAD_VALUE;
        return;
    }
    int64 length = (int64)bytesPerRow * height;
    if (length > INT32_MAX) {
        fInitStatus = B_NO_MEMORY;
        return;
    }
    fBits = static_cast<uint8*>(calloc(1, (size_t)length));
    if (!fBits) {
        fInitStatus = B_NO_MEMORY;
        return;
    }
    if (flags & B_BITMAP_CLEAR_TO_WHITE)
        memset(fBits, 0xff, (size_t)length);
    fBitsLength = (int32)length;
    fBytesPerRow = bytesPerRow;
    if (flags & B_BITMAP_ACCEPTS_VIEWS)
        fViewHost = new ViewHost;
    fInitStatus = B_OK;
}

BBitmap::~BBitmap()
{
    if (fViewHost) {
        while (!fViewHost->children.empty()) {
            BView* child = fViewHost->children.back();
            RemoveChild(child);
            delete child;
        }
        delete fViewHost;
    }
    free(fBits);
}

status_t BBitmap::InitCheck() const
{
    return fInitStatus;
}

bool BBitmap::IsValid() const
{
    return fInitStatus == B_OK && fBits;
}

status_t BBitmap::LockBits(uint32* state)
{
    return B_OK;
}

void BBitmap::UnlockBits() {}

void* BBitmap::Bits() const
{
    return fBits;
}

int32 BBitmap::BitsLength() const
{
    return fBitsLength;
}

int32 BBitmap::BytesPerRow() const
{
    return fBytesPerRow;
}

color_space BBitmap::ColorSpace() const
{
    return fColorSpace;
}

BRect BBitmap::Bounds() const
{
    return fBounds;
}

uint32 BBitmap::Flags() const
{
    return fFlags;
}

void BBitmap::SetBits(const void* data, int32 length, int32 offset, color_space colorSpace)
{
    ImportBits(data, length, fBytesPerRow, offset, colorSpace);
}

status_t BBitmap::ImportBits(const void* data, int32 length, int32 bpr, int32 offset,
                             color_space colorSpace)
{
    if (!IsValid() || !data || length < 0 || offset < 0)
        return B_BAD_VALUE;
    if (colorSpace != fColorSpace || bpr != fBytesPerRow)
        return B_BAD_VALUE;
    if ((int64)offset + length > fBitsLength)
        length = fBitsLength - offset;
    if (length > 0)
        memcpy(fBits + offset, data, (size_t)length);
    return B_OK;
}

status_t BBitmap::ImportBits(const BBitmap* bitmap)
{
    if (!bitmap || !bitmap->IsValid() || !IsValid())
        return B_BAD_VALUE;
    if (bitmap->ColorSpace() != fColorSpace || bitmap->Bounds() != fBounds)
        return B_BAD_VALUE;
    memcpy(fBits, bitmap->Bits(), (size_t)std::min(fBitsLength, bitmap->BitsLength()));
    return B_OK;
}

void BBitmap::AddChild(BView* view)
{
    if (!fViewHost || !view)
        return;
    BPrivate::ViewData* data = BPrivate::ViewBridge::Data(view);
    if (data->parent || data->window || data->bitmapHost)
        return;
    fViewHost->children.push_back(view);
    data->bitmapHost = this;
    for (int32 i = 0; i < view->CountChildren(); i++)
        BPrivate::ViewBridge::Data(view->ChildAt(i))->bitmapHost = this;
    view->AttachedToWindow();
}

bool BBitmap::RemoveChild(BView* view)
{
    if (!fViewHost || !view)
        return false;
    auto& children = fViewHost->children;
    for (auto it = children.begin(); it != children.end(); ++it) {
        if (*it == view) {
            children.erase(it);
            view->DetachedFromWindow();
            BPrivate::ViewBridge::Data(view)->bitmapHost = nullptr;
            return true;
        }
    }
    return false;
}

int32 BBitmap::CountChildren() const
{
    return fViewHost ? (int32)fViewHost->children.size() : 0;
}

BView* BBitmap::ChildAt(int32 index) const
{
    if (!fViewHost || index < 0 || index >= (int32)fViewHost->children.size())
        return nullptr;
    return fViewHost->children[index];
}

BView* BBitmap::FindView(const char* name) const
{
    if (!fViewHost)
        return nullptr;
    for (BView* child : fViewHost->children) {
        if (BView* found = BPrivate::ViewBridge::FindView(child, name))
            return found;
    }
    return nullptr;
}

bool BBitmap::Lock()
{
    if (!fViewHost)
        return false;
    fViewHost->lock.lock();
    fViewHost->lockCount++;
    return true;
}

void BBitmap::Unlock()
{
    if (!fViewHost || fViewHost->lockCount == 0)
        return;
    fViewHost->lockCount--;
    fViewHost->lock.unlock();
}

bool BBitmap::IsLocked() const
{
    return fViewHost && fViewHost->lockCount > 0;
}
