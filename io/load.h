#ifndef TAVRIN_LOAD_H
#define TAVRIN_LOAD_H

#include <SupportDefs.h>

// Why a file could not be opened, for the user: a short lower-case phrase
// that follows the file's name ("is a folder", "no installed translator
// reads it").
const char* open_failure_text(status_t status);

#endif
