#ifndef _TAVRIN_SEEK_TARGET_H
#define _TAVRIN_SEEK_TARGET_H

// The arithmetic every in-memory stream's Seek() shares.

#include <SupportDefs.h>

#include <cstdio>

namespace BPrivate {

// Where a Seek(position, seekMode) lands, from the stream's current position
// and its end (asked only for SEEK_END: end() answers the size, or an error
// to pass on). B_BAD_VALUE for an unknown mode, a target before the start or
// one beyond what off_t holds.
template <typename End>
off_t seek_target(off_t position, uint32 seekMode, off_t current, End end)
{
    off_t base;
    switch (seekMode) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = current;
        break;
    case SEEK_END:
        base = end();
        if (base < 0)
            return base;
        break;
    default:
        return B_BAD_VALUE;
    }
    off_t target;
    if (__builtin_add_overflow(base, position, &target) || target < 0)
        return B_BAD_VALUE;
    return target;
}

} // namespace BPrivate

#endif
