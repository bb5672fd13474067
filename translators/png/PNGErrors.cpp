#include "PNGErrors.h"

#include <Translator.h>

#include <new>

void quiet_warning(png_structp, png_const_charp) {}

void error_exit(png_structp png, png_const_charp message)
{
    set_translation_reason("libpng: %s", message);
    png_longjmp(png, 1);
}

png_bytep* make_block(size_t rowBytes, uint32 count, size_t extraBytes, uint8* volatile* buffer)
{
    size_t tableBytes = sizeof(png_bytep) * count;
    uint8* memory = new (std::nothrow) uint8[tableBytes + rowBytes * count + extraBytes];
    *buffer = memory;
    if (memory == nullptr)
        return nullptr;
    png_bytep* rows = reinterpret_cast<png_bytep*>(memory);
    for (uint32 y = 0; y < count; y++)
        rows[y] = memory + tableBytes + y * rowBytes;
    return rows;
}
