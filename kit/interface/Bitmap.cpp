#include <Bitmap.h>
#include <PictureMetadata.h>

#include <PixelSize.h>
#include <View.h>

#include "ViewPrivate.h"

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define TAVRIN_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define TAVRIN_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define TAVRIN_POISON(address, size) ((void)(address), (void)(size))
#define TAVRIN_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace {

// Pixels of this size and more get memory mapped for them alone, on 2 MiB
// boundaries and marked for huge pages: a fresh 12 MB picture then costs six
// page faults instead of three thousand, and giving it back is as quick.
// Fresh mappings are zero already, so nothing needs clearing either.
const size_t kHugePage = 2 << 20;
const size_t kMapFrom = kHugePage;

size_t round_up(size_t size, size_t unit)
{
    return (size + unit - 1) / unit * unit;
}

size_t page_size()
{
    static const size_t size = (size_t)sysconf(_SC_PAGESIZE);
    return size;
}

// length bytes of zeros on a 2 MiB boundary; *mapped says how many bytes the
// mapping holds. nullptr when the system has no memory for them.
uint8* map_pixels(size_t length, size_t* mapped)
{
    size_t size = round_up(length, page_size());
    void* area =
        mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED)
        return nullptr;
    uintptr_t start = (uintptr_t)area;
    uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t)(kHugePage - 1);
    if (aligned > start)
        munmap(area, aligned - start);
    size_t after = start + size + kHugePage - (aligned + size);
    if (after > 0)
        munmap((void*)(aligned + size), after);
    uint8* bits = reinterpret_cast<uint8*>(aligned);
    // Only a hint: without huge pages the mapping works the same.
    madvise(bits, size, MADV_HUGEPAGE);
    // The bytes past the pixels up to the page's end are nobody's.
    TAVRIN_POISON(bits + length, size - length);
    *mapped = size;
    return bits;
}

void unmap_pixels(uint8* bits, size_t mapped)
{
    TAVRIN_UNPOISON(bits, mapped);
    munmap(bits, mapped);
}

// Unmaps memory that nothing refers to any more on a thread of its own:
// giving back the 36 MB that a crop of a 48 MB picture leaves takes about a
// third of a millisecond even in huge pages, which the crop need not wait
// for. The thread starts with the first such memory and waits for work
// until the process ends; it is never stopped, so that bitmaps freed while
// the process exits are still safe. A process forked from this one has no
// such thread and unmaps at once.
class Unmapper
{
public:
    static void Unmap(uint8* start, size_t length)
    {
        static const pid_t sProcess = getpid();
        static Unmapper* sUnmapper = new Unmapper;
        if (getpid() != sProcess) {
            unmap_pixels(start, length);
            return;
        }
        sUnmapper->_Add(start, length);
    }

private:
    void _Add(uint8* start, size_t length)
    {
        std::lock_guard<std::mutex> guard(fLock);
        if (!fStarted) {
            try {
                std::thread([this] { _Run(); }).detach();
                fStarted = true;
            } catch (const std::system_error&) {
                unmap_pixels(start, length);
                return;
            }
        }
        fRanges.push_back({start, length});
        fWake.notify_one();
    }

    void _Run()
    {
        std::unique_lock<std::mutex> lock(fLock);
        for (;;) {
            fWake.wait(lock, [this] { return !fRanges.empty(); });
            Range range = fRanges.front();
            fRanges.pop_front();
            lock.unlock();
            unmap_pixels(range.start, range.length);
            lock.lock();
        }
    }

    struct Range
    {
        uint8* start;
        size_t length;
    };

    std::mutex fLock;
    std::condition_variable fWake;
    std::deque<Range> fRanges;
    bool fStarted = false;
};

} // namespace

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
    if (source->fMetadata != nullptr)
        SetMetadata(*source->fMetadata);
}

namespace {

uint64 next_generation()
{
    static std::atomic<uint64> sGenerations{0};
    return ++sGenerations;
}

} // namespace

uint64 BBitmap::Generation() const
{
    return fGeneration;
}

void BBitmap::_Init(BRect bounds, uint32 flags, color_space colorSpace, int32 bytesPerRow)
{
    fGeneration = next_generation();
    fMetadata = nullptr;
    fBits = nullptr;
    fMappedLength = 0;
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
    if ((size_t)length >= kMapFrom)
        fBits = map_pixels((size_t)length, &fMappedLength);
    else
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
    _FreeBits();
    delete fMetadata;
}

const BPrivate::PictureMetadata& BBitmap::Metadata() const
{
    static const BPrivate::PictureMetadata kNone;
    return fMetadata != nullptr ? *fMetadata : kNone;
}

void BBitmap::SetMetadata(const BPrivate::PictureMetadata& metadata)
{
    if (fMetadata == nullptr)
        fMetadata = new BPrivate::PictureMetadata(metadata);
    else
        *fMetadata = metadata;
}

void BBitmap::_FreeBits()
{
    if (fMappedLength > 0)
        unmap_pixels(fBits, fMappedLength);
    else
        free(fBits);
    fBits = nullptr;
    fMappedLength = 0;
}

status_t BBitmap::CropTo(BRect rect)
{
    if (!IsValid() || fViewHost || (fColorSpace != B_RGB32 && fColorSpace != B_RGBA32))
        return B_BAD_VALUE;
    if (!rect.IsValid() || !std::isfinite(rect.left) || !std::isfinite(rect.top) ||
        rect.left < fBounds.left || rect.top < fBounds.top || rect.right > fBounds.right ||
        rect.bottom > fBounds.bottom)
        return B_BAD_VALUE;
    // Whole pixels, counted from the bitmap's first one in 64 bits.
    int64 stride = fBytesPerRow / 4;
    int64 left = (int64)rect.left - (int64)fBounds.left;
    int64 top = (int64)rect.top - (int64)fBounds.top;
    int64 width = pixel_width(rect);
    int64 height = pixel_height(rect);
    if (left < 0 || top < 0 || width <= 0 || height <= 0 || left + width > stride ||
        (top + height) * stride * 4 > fBitsLength)
        return B_BAD_VALUE;

    // Row r moves from (top + r, left) to r x width: never past the start of
    // a row still to come, since width <= stride. Rows of the same place
    // stay where they are.
    uint32* pixels = reinterpret_cast<uint32*>(fBits);
    if (left != 0 || top != 0 || width != stride) {
        for (int64 r = 0; r < height; r++) {
            memmove(pixels + r * width, pixels + (top + r) * stride + left, (size_t)width * 4);
        }
    }
    size_t length = (size_t)(width * height * 4);

    // The memory past the rows goes back to the system.
    if (fMappedLength > 0) {
        size_t keep = round_up(length, page_size());
        if (keep < fMappedLength) {
            size_t rest = fMappedLength - keep;
            if (rest >= kHugePage)
                Unmapper::Unmap(fBits + keep, rest);
            else
                unmap_pixels(fBits + keep, rest);
            fMappedLength = keep;
        }
        TAVRIN_POISON(fBits + length, keep - length);
    } else if (length < (size_t)fBitsLength) {
        // Shrinking leaves the block where it is, or moves it whole.
        if (void* smaller = realloc(fBits, length))
            fBits = static_cast<uint8*>(smaller);
    }
    fBitsLength = (int32)length;
    fBytesPerRow = (int32)(width * 4);
    fBounds.Set(0, 0, width - 1, height - 1);
    fGeneration = next_generation();
    return B_OK;
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

void BBitmap::UnlockBits()
{
    fGeneration = next_generation();
}

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
    fGeneration = next_generation();
    return B_OK;
}

status_t BBitmap::ImportBits(const BBitmap* bitmap)
{
    if (!bitmap || !bitmap->IsValid() || !IsValid())
        return B_BAD_VALUE;
    if (bitmap->ColorSpace() != fColorSpace || bitmap->Bounds() != fBounds)
        return B_BAD_VALUE;
    memcpy(fBits, bitmap->Bits(), (size_t)std::min(fBitsLength, bitmap->BitsLength()));
    fGeneration = next_generation();
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
