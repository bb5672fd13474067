#ifndef _TAVRIN_TIFF_EXIF_H
#define _TAVRIN_TIFF_EXIF_H

// Exif in TIFF files. A TIFF file keeps its Exif data as directories of its
// own (the Exif and GPS directories its first one points to) and the
// camera's name among its first directory's tags; an Exif block is the same
// structure on its own. These copy the directories between the two, values
// and all, turning the byte order where the two differ. Classic TIFF only;
// every offset read is checked against what the file or block holds. start
// is where the TIFF data begins in the stream, to which its offsets count.

#include <DataIO.h>

#include <string>

namespace BPrivate {

// The Exif block of a classic TIFF file: its first directory's descriptive
// tags (make, model, date, software, artist, copyright, description) with
// its Exif and GPS directories. Empty when the file has neither directory.
std::string exif_from_tiff(BPositionIO* file, off_t start);

// Adds the Exif and GPS directories of an Exif block to a classic TIFF file
// that was just written, and the block's descriptive tags the file's first
// directory lacks: the directories go at the end of the file, and a copy of
// the first directory that points to them replaces it.
status_t add_exif_to_tiff(BPositionIO* file, off_t start, const std::string& exif);

} // namespace BPrivate

#endif
