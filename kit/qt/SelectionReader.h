#ifndef _SELECTION_READER_H
#define _SELECTION_READER_H

#include <SupportDefs.h>

#include <QByteArray>

namespace BPrivate {

// How much another program may send for one selection, and how long it may
// take: a sender that stops for idleMs, or is not done after totalMs, is
// given up.
struct SelectionLimits
{
    size_t maxBytes;
    int idleMs;
    int totalMs;
};

// What another program may give for a picture, by a drop or the clipboard:
// as much as the decoders take, and a megabyte more for the file's own
// headers; a sender that stops for 5 s or is not done after a minute is
// given up.
extern const SelectionLimits kPictureTransfer;
// A list of files is text, and kept small.
const size_t kMaxFileListBytes = 1 << 20;

// Reads what the owner of an X selection gives for one target, through a
// connection of its own to display (null for $DISPLAY), so that it may run
// on any thread. The request comes from a window made for it inside parent
// (none: the root window), at time (0 for the current time). Data sent in
// increments (INCR) is taken as it comes: whatever the owner claims or
// sends, no more than limits.maxBytes is ever held.
//
// B_OK with the bytes; B_BUFFER_OVERFLOW when there is more than maxBytes;
// B_TIMED_OUT when the owner is too slow; B_NOT_ALLOWED when it gives
// nothing for the target; B_ERROR when the display cannot be reached.
status_t read_x_selection(const char* display, uint32 parent, const char* selection,
                          const char* target, uint32 time, const SelectionLimits& limits,
                          QByteArray* bytes);

} // namespace BPrivate

#endif
