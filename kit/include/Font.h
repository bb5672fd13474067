#ifndef _FONT_H
#define _FONT_H

#include <SupportDefs.h>

#define B_FONT_FAMILY_LENGTH 63
#define B_FONT_STYLE_LENGTH 63
typedef char font_family[B_FONT_FAMILY_LENGTH + 1];
typedef char font_style[B_FONT_STYLE_LENGTH + 1];

enum {
    B_FONT_FAMILY_AND_STYLE = 0x00000001,
    B_FONT_SIZE = 0x00000002,
    B_FONT_SHEAR = 0x00000004,
    B_FONT_ROTATION = 0x00000008,
    B_FONT_SPACING = 0x00000010,
    B_FONT_ENCODING = 0x00000020,
    B_FONT_FACE = 0x00000040,
    B_FONT_FLAGS = 0x00000080,
    B_FONT_ALL = 0x000000FF
};

enum {
    B_ITALIC_FACE = 0x0001,
    B_UNDERSCORE_FACE = 0x0002,
    B_NEGATIVE_FACE = 0x0004,
    B_OUTLINED_FACE = 0x0008,
    B_STRIKEOUT_FACE = 0x0010,
    B_BOLD_FACE = 0x0020,
    B_REGULAR_FACE = 0x0040
};

struct font_height
{
    float ascent;
    float descent;
    float leading;
};

// A font description: family, style, size in pixels (the platform's points at
// 72 dots per inch), face. Metrics come from the fonts fontconfig finds.
class BFont
{
public:
    BFont();
    BFont(const BFont& font);
    BFont(const BFont* font);

    status_t SetFamilyAndStyle(const font_family family, const font_style style);
    void SetFamilyAndFace(const font_family family, uint16 face);
    void SetSize(float size);
    void SetShear(float shear);
    void SetRotation(float rotation);
    void SetFace(uint16 face);
    void SetFlags(uint32 flags);

    void GetFamilyAndStyle(font_family* family, font_style* style) const;
    float Size() const;
    float Shear() const;
    float Rotation() const;
    uint16 Face() const;
    uint32 Flags() const;

    float StringWidth(const char* string) const;
    float StringWidth(const char* string, int32 length) const;
    void GetHeight(font_height* height) const;

    BFont& operator=(const BFont& font);
    bool operator==(const BFont& font) const;
    bool operator!=(const BFont& font) const;
    void PrintToStream() const;

private:
    font_family fFamily;
    font_style fStyle;
    float fSize;
    float fShear;
    float fRotation;
    uint16 fFace;
    uint32 fFlags;
};

extern const BFont* be_plain_font;
extern const BFont* be_bold_font;
extern const BFont* be_fixed_font;

#endif
