// The bitmap stream's own reader: arbitrary bytes written into an empty
// BBitmapStream, then handed to the Targa encoder as a 'bits' source.

#include "FuzzHarness.h"

#include <Bitmap.h>
#include <TranslatorFormats.h>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::use_scratch_settings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BBitmapStream stream;
    // Uneven pieces, so headers arrive split.
    size_t at = 0, piece = 1;
    while (at < size) {
        size_t length = piece < size - at ? piece : size - at;
        if (stream.Write(data + at, length) < 0)
            break;
        at += length;
        piece = piece * 3 + 1;
    }
    BBitmap* bitmap = nullptr;
    stream.DetachBitmap(&bitmap);
    delete bitmap;

    BMemoryIO source(data, size);
    BMallocIO encoded;
    fuzz::translator()->Translate(&source, nullptr, nullptr, B_TGA_FORMAT, &encoded);
    return 0;
}
