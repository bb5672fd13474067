#ifndef _DIRECT_SAVE_H
#define _DIRECT_SAVE_H

#include <QString>

namespace BPrivate {

// The direct-save protocol of X11 drags (XdndDirectSave0), by which a file
// manager names the file a drag should become in the folder it was dropped
// on, and the drag's source writes it there itself. The name travels in the
// property XdndDirectSave0 of the drag's source window: the source puts the
// name it suggests there, the file manager replaces it with the file's URI
// and then asks for the target XdndDirectSave0, which the source answers
// with "S" (saved), "F" (failed: send the data instead) or "E" (error).
namespace DirectSave {

// The format name the drag offers.
extern const char* const kFormat;

// Suggests name for the drag in progress, which has just begun; false where
// there is no X11.
bool Suggest(const QString& name);

// The folder and file name the file manager chose, from a local file URI;
// false when it gave none, or not a plain name in a local folder.
bool Chosen(QString* folder, QString* name);

// Takes the drag's property away again, and forgets the drag's list of
// types.
void Withdraw();

// Fits the drag's list of types to the program under the pointer. Some file
// managers take XdndDirectSave0 but rank text/uri-list above it, so they
// never write a file in place while the list is offered: over their windows
// the list goes from the types the drag's window shows, and it comes back
// over every other window. Call it before the drag moves on to the window
// under the pointer, so that the new target reads the list the call left.
void FitTypesToTarget();

} // namespace DirectSave

} // namespace BPrivate

#endif
