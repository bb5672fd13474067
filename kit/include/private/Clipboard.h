#ifndef _CLIPBOARD_H
#define _CLIPBOARD_H

#include <SupportDefs.h>

#include <string>
#include <vector>

class BBitmap;
class BHandler;
class BMessage;
class BMessenger;

namespace BPrivate {

// The desktop's clipboard (the CLIPBOARD selection; the primary selection is
// never touched), negotiated as a drag is. Everything here is called on the
// GUI thread.

// Puts offer on the clipboard: its "be:types" that are images, then a file
// as text/uri-list and x-special/gnome-copied-files when it has
// "be:filetypes". Nothing is made now: when a program asks for a type,
// replyTo gets B_COPY_TARGET exactly as from a drag's target (the file form
// with "directory", "name" and "be:filetypes" for the file).
status_t clipboard_offer(const BMessage& offer, BHandler* replyTo);

// True while the last offer is still what the clipboard holds.
bool clipboard_owns();

// Keeps the last offer on the clipboard after the program ends, when it is
// still there: a small process of its own (tavrin-clipboard) takes the
// clipboard over with a copy of picture's pixels and serves image/png, the
// MIME types (in order) and the file, encoding each when it is first asked
// for, until another program takes the clipboard. Where a clipboard manager
// runs (X11), it is handed the picture first. B_OK once the helper holds the
// clipboard; the picture stays the caller's.
status_t clipboard_keep(const BBitmap* picture, const std::vector<std::string>& types);

// Reads what the clipboard holds off the GUI thread, with the limits of a
// drop, and posts target a copy of fields with the result added: "refs" for
// files (text/uri-list, x-special/gnome-copied-files), else one B_MIME_TYPE
// field with the picture in the best image type offered (image/png first).
// Nothing is posted when the clipboard holds neither, or its owner gives
// nothing in time. B_BUSY while an earlier read is still going on.
status_t clipboard_fetch(const BMessenger& target, const BMessage& fields);

// The body of tavrin-clipboard: serves the picture whose bitmap stream is
// read from descriptor 3, reports on descriptor 4 ("1" holding the
// clipboard, "0" not) and returns the process's exit status.
int clipboard_keeper_main(int argc, char** argv);

} // namespace BPrivate

#endif
