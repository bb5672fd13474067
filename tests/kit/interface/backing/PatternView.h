#ifndef TAVRIN_TEST_PATTERN_VIEW_H
#define TAVRIN_TEST_PATTERN_VIEW_H

#include <Bitmap.h>
#include <View.h>

#include <QImage>

#include <vector>

// The colour the pattern view shows at view point (x, y).
inline uint32 pattern_at(int x, int y)
{
    return 0xff000000u | ((uint32)(x & 0xff) << 16) | ((uint32)(y & 0xff) << 8) |
           (uint32)(((x >> 8) * 16 + (y >> 8)) & 0xff);
}

// Draws the pattern for every update, as a picture viewer draws its picture.
class PatternView : public BView
{
public:
    PatternView(BRect frame) : BView(frame, "pattern", B_FOLLOW_ALL_SIDES, B_WILL_DRAW) {}
    void Draw(BRect update) override
    {
        updates.push_back(update);
        int left = (int)update.left, top = (int)update.top;
        BBitmap piece(BRect(0, 0, update.IntegerWidth(), update.IntegerHeight()), B_RGB32);
        uint32* bits = static_cast<uint32*>(piece.Bits());
        int width = update.IntegerWidth() + 1;
        for (int y = 0; y <= update.IntegerHeight(); y++) {
            for (int x = 0; x < width; x++)
                bits[y * width + x] = pattern_at(left + x, top + y);
        }
        DrawBitmap(&piece, piece.Bounds(), update);
    }
    std::vector<BRect> updates;
};

// The pixels of shown (a view's widget) in the rectangle seen that differ
// from the pattern scrolled to bounds.
inline int wrong_pixels(const QImage& shown, BRect bounds, QRect seen)
{
    int wrong = 0;
    for (int y = seen.top(); y <= seen.bottom(); y++) {
        const QRgb* row = reinterpret_cast<const QRgb*>(shown.constScanLine(y));
        for (int x = seen.left(); x <= seen.right(); x++)
            wrong += row[x] != pattern_at(x + (int)bounds.left, y + (int)bounds.top);
    }
    return wrong;
}

#endif
