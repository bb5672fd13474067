#ifndef TAVRIN_TIFF_STREAM_H
#define TAVRIN_TIFF_STREAM_H

#include <memory>

#include <DataIO.h>
#include <TranslationDefs.h>

#include <tiffio.h>

// Opens libtiff on a BPositionIO, with offsets counted from the stream's
// position at the time of opening. Warnings stay quiet; an error's text
// becomes the translation's reason, beside the translator's own status. The
// caller closes the handle with TIFFClose(); the stream must outlive it.
TIFF* tiff_open_stream(BPositionIO* stream, const char* mode);

struct TIFFCloser
{
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
typedef std::unique_ptr<TIFF, TIFFCloser> TIFFHandle;

#endif
