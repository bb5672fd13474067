#ifndef TAVRIN_PNG_ERRORS_H
#define TAVRIN_PNG_ERRORS_H

#include <png.h>

#include <SupportDefs.h>

// libpng reports errors by longjmp back into the function that set up the
// png_struct; the decoder and the encoder both hand it these callbacks.
// Nothing outside them sees libpng.

// Warnings stay quiet.
void quiet_warning(png_structp png, png_const_charp message);
// Errors jump back to the setjmp of the png_struct, libpng's message kept as
// the translation's reason.
void error_exit(png_structp png, png_const_charp message);

// One allocation for a block of rows, the table of pointers to them that
// libpng wants, and extraBytes more: a std::vector would leak when libpng
// jumps out. *buffer is the allocation, for the caller to free (also after
// a jump); NULL when there is no memory.
png_bytep* make_block(size_t rowBytes, uint32 count, size_t extraBytes, uint8* volatile* buffer);

#endif
