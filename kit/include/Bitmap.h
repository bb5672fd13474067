#ifndef _BITMAP_H
#define _BITMAP_H

#include <GraphicsDefs.h>
#include <Rect.h>

class BView;

namespace BPrivate {
struct PictureMetadata;
}

enum {
    B_BITMAP_CLEAR_TO_WHITE = 0x00000001,
    B_BITMAP_ACCEPTS_VIEWS = 0x00000002,
    B_BITMAP_IS_AREA = 0x00000004,
    B_BITMAP_IS_LOCKED = 0x00000008 | B_BITMAP_IS_AREA,
    B_BITMAP_IS_CONTIGUOUS = 0x00000010 | B_BITMAP_IS_LOCKED,
    B_BITMAP_IS_OFFSCREEN = 0x00000020,
    B_BITMAP_WILL_OVERLAY = 0x00000040 | B_BITMAP_IS_OFFSCREEN,
    B_BITMAP_RESERVE_OVERLAY_CHANNEL = 0x00000080,
    B_BITMAP_NO_SERVER_LINK = 0x00000100
};

#define B_ANY_BYTES_PER_ROW -1

// A block of pixels in one colour space. Rows of a 32-bit bitmap are exactly
// width x 4 bytes; other spaces pad each row to a multiple of four bytes. A
// bitmap that accepts views lets views attached to it draw into its pixels.
class BBitmap
{
public:
    BBitmap(BRect bounds, uint32 flags, color_space colorSpace,
            int32 bytesPerRow = B_ANY_BYTES_PER_ROW);
    BBitmap(BRect bounds, color_space colorSpace, bool acceptsViews = false,
            bool needsContiguous = false);
    BBitmap(const BBitmap* source, bool acceptsViews = false, bool needsContiguous = false);
    virtual ~BBitmap();

    status_t InitCheck() const;
    bool IsValid() const;

    status_t LockBits(uint32* state = nullptr);
    void UnlockBits();

    void* Bits() const;
    int32 BitsLength() const;
    int32 BytesPerRow() const;
    color_space ColorSpace() const;
    BRect Bounds() const;
    uint32 Flags() const;

    void SetBits(const void* data, int32 length, int32 offset, color_space colorSpace);
    status_t ImportBits(const void* data, int32 length, int32 bpr, int32 offset,
                        color_space colorSpace);
    status_t ImportBits(const BBitmap* bitmap);

    // Views that draw into the bitmap; the bitmap must accept views.
    void AddChild(BView* view);
    bool RemoveChild(BView* view);
    int32 CountChildren() const;
    BView* ChildAt(int32 index) const;
    BView* FindView(const char* name) const;

    bool Lock();
    void Unlock();
    bool IsLocked() const;

    // Keeps only the pixels inside rect, given in the bitmap's own
    // coordinates, which become the bitmap's bounds moved to (0, 0). The rows
    // move down in the same memory and the rest is given back: no second
    // copy of the picture is made. For 32-bit bitmaps without views;
    // B_BAD_VALUE, and the bitmap unchanged, when rect is not wholly inside
    // the bounds.
    status_t CropTo(BRect rect);

    // A number that no other bitmap, nor this one, has had before: it
    // changes whenever the pixels change through the bitmap's own calls
    // (SetBits, ImportBits, CropTo, drawing by an attached view) and on
    // UnlockBits, which code that writes Bits() directly calls when done.
    // A view that keeps a reduced copy of a bitmap knows by it when the copy
    // is stale.
    uint64 Generation() const;

    // The colour profile and the Exif and XMP blocks the pixels came with
    // (see <PictureMetadata.h>); a copy of the bitmap has them too. A kit
    // extension: a bitmap made from nothing has none.
    const BPrivate::PictureMetadata& Metadata() const;
    void SetMetadata(const BPrivate::PictureMetadata& metadata);

    // The row length in bytes the kit gives a bitmap of this width and space; 0 for an unknown
    // space.
    static int32 BytesPerRowFor(color_space space, int32 width);

private:
    BBitmap(const BBitmap&) = delete;
    BBitmap& operator=(const BBitmap&) = delete;

    void _Init(BRect bounds, uint32 flags, color_space colorSpace, int32 bytesPerRow);
    void _FreeBits();

    friend class BView;
    struct ViewHost;

    uint8* fBits;
    // The size of fBits's own mapping, or 0 when it came from malloc.
    size_t fMappedLength;
    int32 fBitsLength;
    int32 fBytesPerRow;
    color_space fColorSpace;
    BRect fBounds;
    uint32 fFlags;
    status_t fInitStatus;
    uint64 fGeneration;
    ViewHost* fViewHost;
    BPrivate::PictureMetadata* fMetadata;
};

#endif
