#ifndef _TAVRIN_STREAM_COPY_H
#define _TAVRIN_STREAM_COPY_H

#include <DataIO.h>

namespace BPrivate {

// Copies what is left of source into destination, a block of 64 KiB at a
// time, until source ends. B_OK; else the error a read or a write answered,
// or B_IO_ERROR when destination took less than it was given (a bitmap
// stream does that with a header it refuses). What was copied before a
// failure stays in destination.
status_t copy_stream(BDataIO* source, BDataIO* destination);

} // namespace BPrivate

#endif
