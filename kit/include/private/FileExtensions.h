#ifndef _FILE_EXTENSIONS_H
#define _FILE_EXTENSIONS_H

// The file name extensions of the picture types the translators write, in
// one table: what a file of a type is called, and what type a name asks for.
// The type codes themselves are the translators' own (their output formats
// name a MIME type each); only the names live here.

// The extension a new file of this MIME type gets ("png"), or NULL when the
// type is not one of them.
const char* extension_for_mime(const char* mime);

// Every extension of the MIME type, the one new files get first, ending with
// NULL; NULL when the type is not one of them.
const char* const* extensions_for_mime(const char* mime);

// The MIME type an extension names ("jpeg" and "JPG" both name image/jpeg),
// or NULL when it names none.
const char* mime_for_extension(const char* extension);

#include <SupportDefs.h>

class BTranslatorRoster;

// The type code of the first output format, of any of the roster's
// translators, that has this MIME type (case aside); 0 when none writes it.
uint32 output_type_for_mime(BTranslatorRoster* roster, const char* mime);

#endif
