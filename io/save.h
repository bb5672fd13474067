#ifndef TAVRIN_SAVE_H
#define TAVRIN_SAVE_H

#include <DataIO.h>
#include <Entry.h>
#include <PictureMetadata.h>
#include <TranslationDefs.h>

#include <string>

// Writes source, translated to type, as the file name in dir, and gives it
// the file type mime. The file is written under a temporary name in the same
// folder and put in place only when the translation succeeded, so a failure
// never touches a file that was there. translator 0 lets the roster choose.
// A translation that fails leaves the translator's reason in reason, when
// given. metadata: the profile and metadata to keep (the source's bitmap has
// them).
status_t write_translated(const entry_ref& dir, const char* name, BPositionIO* source,
                          translator_id translator, uint32 type, const char* mime,
                          std::string* reason = nullptr,
                          const BPrivate::PictureMetadata* metadata = nullptr);

// The reason a save failed, for the user: a short lower-case phrase.
const char* save_failure_text(status_t status);

// A name that may be created in a folder: not empty, not "." or "..", no "/".
bool is_plain_name(const char* name);

#endif
