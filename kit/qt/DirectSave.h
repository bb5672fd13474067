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

// Suggests name for the drag in progress; false where there is no X11.
bool Suggest(const QString& name);

// The folder and file name the file manager chose, from a local file URI;
// false when it gave none, or not a plain name in a local folder.
bool Chosen(QString* folder, QString* name);

// Takes the drag's property away again.
void Withdraw();

} // namespace DirectSave

} // namespace BPrivate

#endif
