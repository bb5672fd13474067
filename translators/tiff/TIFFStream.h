#ifndef TAVRIN_TIFF_STREAM_H
#define TAVRIN_TIFF_STREAM_H

#include <memory>

#include <DataIO.h>
#include <TranslationDefs.h>

#include <tiffio.h>

// Opens libtiff on a BPositionIO, with offsets counted from the stream's
// position at the time of opening. Errors and warnings stay quiet: the
// translator reports its own status codes. The caller closes the handle with
// TIFFClose(); the stream must outlive it.
TIFF* tiff_open_stream(BPositionIO* stream, const char* mode);

struct TIFFCloser
{
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
typedef std::unique_ptr<TIFF, TIFFCloser> TIFFHandle;

#endif
