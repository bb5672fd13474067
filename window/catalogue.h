#ifndef TAVRIN_CATALOGUE_H
#define TAVRIN_CATALOGUE_H

#include <List.h>
#include <TranslationDefs.h>

// One output format: a translator and one of the formats it writes. Its index
// in xlt is the format number that messages carry as "format_no".
struct s_fmt
{
    translator_id translator;
    uint32 type;
    char name[B_MIME_STRING_LENGTH];
    char MIME[B_MIME_STRING_LENGTH];
};

// The output-format catalogue, filled once at start-up; Targa writers first.
extern BList xlt;
extern int32 trc;

// Fills the catalogue from the roster tr: every format a translator writes
// from a bitmap, Targa writers first.
void fill_catalogue();

// Empties the catalogue and frees its records.
void clear_catalogue();

// The record at a format number, or NULL when the number names none.
s_fmt* format_at(int32 index);

#endif
