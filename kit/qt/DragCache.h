#ifndef _DRAG_CACHE_H
#define _DRAG_CACHE_H

#include <ctime>
#include <string>

namespace BPrivate {

// The folders under $XDG_CACHE_HOME/tavrin/drag/ that hold the files a drag
// gives to other programs. Every folder on the way that the kit makes is
// private (mode 0700) and owned by the user, and none is reached through a
// symbolic link, so nobody else can read a dragged picture or redirect it.
namespace DragCache {

// The drag folder's path, whether or not it exists.
std::string Root();

// Makes a fresh, empty folder of mode 0700 for one drag; "" when it cannot.
std::string MakeFolder();

// Removes a folder that MakeFolder made, with what is in it. Paths anywhere
// else are left alone.
void RemoveFolder(const std::string& path);

// Removes the drag folders last changed more than maxAge seconds ago: what
// earlier runs that ended abruptly left behind.
void Sweep(time_t maxAge);

} // namespace DragCache

} // namespace BPrivate

#endif
