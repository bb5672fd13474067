#ifndef TAVRIN_SAVENAME_H
#define TAVRIN_SAVENAME_H

#include <string>

#include <ctime>

// How a name typed in the Save panel fits the format it is saved in.
enum name_fit {
    kNameFits,       // its extension is the format's (any spelling of it)
    kNameGetsOne,    // no extension a format is known by: the format's is added
    kNameOtherFormat // its extension names another format
};

// What the Save panel proposes for a document saved as mime: the document's
// name with the format's extension in place of its own (photo.jpg as PNG:
// photo.png).
std::string proposed_name(const std::string& document, const char* mime);

// The name of a picture captured at when: capture-YYYY-MM-DD-HHMMSS.png,
// in local time.
std::string capture_name(time_t when);

// How name fits mime; with kNameGetsOne, *fixed is name with the format's
// extension added, with kNameOtherFormat, name with its extension changed.
name_fit fit_name(const std::string& name, const char* mime, std::string* fixed);

// The format's extension in capitals, for the user ("PNG"); "" when unknown.
std::string format_word(const char* mime);

#endif
