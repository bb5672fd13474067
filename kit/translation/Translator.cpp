#include <Translator.h>
#include <TranslatorRoster.h>

#include "TranslationReason.h"

#include <cstdarg>
#include <cstdio>

BTranslator::BTranslator() : fRefCount(1) {}

BTranslator::~BTranslator() {}

BTranslator* BTranslator::Acquire()
{
    __atomic_add_fetch(&fRefCount, 1, __ATOMIC_RELAXED);
    return this;
}

// The last release deletes the translator; the caller may not use it after
// a NULL answer.
BTranslator* BTranslator::Release()
{
    if (__atomic_sub_fetch(&fRefCount, 1, __ATOMIC_ACQ_REL) == 0) {
        delete this;
        return nullptr;
    }
    return this;
}

int32 BTranslator::ReferenceCount()
{
    return __atomic_load_n(&fRefCount, __ATOMIC_ACQUIRE);
}

status_t BTranslator::MakeConfigurationView(BMessage* ioExtension, BView** _view, BRect* _extent)
{
    return B_ERROR;
}

status_t BTranslator::GetConfigurationMessage(BMessage* ioExtension)
{
    return B_ERROR;
}

namespace BPrivate {

std::string& translation_reason()
{
    static thread_local std::string reason;
    return reason;
}

} // namespace BPrivate

void set_translation_reason(const char* format, ...)
{
    // A reason is a phrase, not a report: a codec's longest messages fit.
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof(text), format, arguments);
    va_end(arguments);
    // One line, whatever the codec put in its message.
    std::string& reason = BPrivate::translation_reason();
    reason = text;
    for (char& c : reason) {
        if ((unsigned char)c < ' ')
            c = ' ';
    }
    reason.erase(reason.find_last_not_of(' ') + 1);
}

const char* translation_failure_reason()
{
    return BPrivate::translation_reason().c_str();
}
