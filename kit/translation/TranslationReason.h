#ifndef _TAVRIN_TRANSLATION_REASON_H
#define _TAVRIN_TRANSLATION_REASON_H

// The calling thread's reason for the failure of the translation it runs
// (set_translation_reason() and translation_failure_reason()). The roster
// clears it before it asks a translator anything and keeps the one that goes
// with the status it answers.

#include <string>

namespace BPrivate {

std::string& translation_reason();

} // namespace BPrivate

#endif
