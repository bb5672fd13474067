#include <Font.h>

#include "ViewPrivate.h"

#include <QFontMetricsF>
#include <QGuiApplication>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

BFont make_font(const char* family, const char* style, float size, uint16 face)
{
    BFont font;
    font.SetFamilyAndStyle(family, style);
    font.SetSize(size);
    font.SetFace(face);
    return font;
}

// The platform's standard fonts; DejaVu is Debian's default sans family.
const BFont sPlain = make_font("DejaVu Sans", "Book", 12, B_REGULAR_FACE);
const BFont sBold = make_font("DejaVu Sans", "Bold", 12, B_BOLD_FACE);
const BFont sFixed = make_font("DejaVu Sans Mono", "Book", 12, B_REGULAR_FACE);

} // namespace

const BFont* be_plain_font = &sPlain;
const BFont* be_bold_font = &sBold;
const BFont* be_fixed_font = &sFixed;

namespace BPrivate {

QFont to_qfont(const BFont& font)
{
    font_family family;
    font_style style;
    font.GetFamilyAndStyle(&family, &style);
    QFont result(QString::fromUtf8(family));
    result.setPixelSize(std::max(1, (int)std::lround(font.Size())));
    bool bold = (font.Face() & B_BOLD_FACE) || strstr(style, "Bold");
    result.setBold(bold);
    result.setItalic((font.Face() & B_ITALIC_FACE) || strstr(style, "Italic") ||
                     strstr(style, "Oblique"));
    result.setUnderline(font.Face() & B_UNDERSCORE_FACE);
    result.setStrikeOut(font.Face() & B_STRIKEOUT_FACE);
    return result;
}

} // namespace BPrivate

BFont::BFont() : fSize(12), fShear(90), fRotation(0), fFace(B_REGULAR_FACE), fFlags(0)
{
    strcpy(fFamily, "DejaVu Sans");
    strcpy(fStyle, "Book");
}

BFont::BFont(const BFont& font)
{
    *this = font;
}

BFont::BFont(const BFont* font)
{
    *this = font ? *font : *be_plain_font;
}

status_t BFont::SetFamilyAndStyle(const font_family family, const font_style style)
{
    if (family) {
        strncpy(fFamily, family, B_FONT_FAMILY_LENGTH);
        fFamily[B_FONT_FAMILY_LENGTH] = '\0';
    }
    if (style) {
        strncpy(fStyle, style, B_FONT_STYLE_LENGTH);
        fStyle[B_FONT_STYLE_LENGTH] = '\0';
    }
    return B_OK;
}

void BFont::SetFamilyAndFace(const font_family family, uint16 face)
{
    SetFamilyAndStyle(family, nullptr);
    SetFace(face);
}

void BFont::SetSize(float size)
{
    fSize = size;
}

void BFont::SetShear(float shear)
{
    fShear = shear;
}

void BFont::SetRotation(float rotation)
{
    fRotation = rotation;
}

void BFont::SetFace(uint16 face)
{
    fFace = face;
    if (face & B_BOLD_FACE)
        strcpy(fStyle, (face & B_ITALIC_FACE) ? "Bold Oblique" : "Bold");
    else if (face & B_ITALIC_FACE)
        strcpy(fStyle, "Oblique");
    else if (face & B_REGULAR_FACE)
        strcpy(fStyle, "Book");
}

void BFont::SetFlags(uint32 flags)
{
    fFlags = flags;
}

void BFont::GetFamilyAndStyle(font_family* family, font_style* style) const
{
    if (family)
        strcpy(*family, fFamily);
    if (style)
        strcpy(*style, fStyle);
}

float BFont::Size() const
{
    return fSize;
}

float BFont::Shear() const
{
    return fShear;
}

float BFont::Rotation() const
{
    return fRotation;
}

uint16 BFont::Face() const
{
    return fFace;
}

uint32 BFont::Flags() const
{
    return fFlags;
}

float BFont::StringWidth(const char* string) const
{
    return string ? StringWidth(string, (int32)strlen(string)) : 0;
}

float BFont::StringWidth(const char* string, int32 length) const
{
    if (!string || length <= 0)
        return 0;
    if (!QGuiApplication::instance()) {
        // No font system before the application exists: a rough estimate.
        return length * fSize * 0.6f;
    }
    QFontMetricsF metrics(BPrivate::to_qfont(*this));
    return (float)metrics.horizontalAdvance(QString::fromUtf8(string, length));
}

void BFont::GetHeight(font_height* height) const
{
    if (!height)
        return;
    if (!QGuiApplication::instance()) {
        height->ascent = fSize * 0.8f;
        height->descent = fSize * 0.2f;
        height->leading = 0;
        return;
    }
    QFontMetricsF metrics(BPrivate::to_qfont(*this));
    height->ascent = (float)metrics.ascent();
    height->descent = (float)metrics.descent();
    height->leading = (float)metrics.leading();
}

BFont& BFont::operator=(const BFont& font)
{
    memcpy(fFamily, font.fFamily, sizeof(fFamily));
    memcpy(fStyle, font.fStyle, sizeof(fStyle));
    fSize = font.fSize;
    fShear = font.fShear;
    fRotation = font.fRotation;
    fFace = font.fFace;
    fFlags = font.fFlags;
    return *this;
}

bool BFont::operator==(const BFont& font) const
{
    return strcmp(fFamily, font.fFamily) == 0 && strcmp(fStyle, font.fStyle) == 0 &&
           fSize == font.fSize && fShear == font.fShear && fRotation == font.fRotation &&
           fFace == font.fFace && fFlags == font.fFlags;
}

bool BFont::operator!=(const BFont& font) const
{
    return !(*this == font);
}

void BFont::PrintToStream() const
{
    printf("BFont { %s (%s), size %g, face 0x%x }\n", fFamily, fStyle, fSize, fFace);
}
