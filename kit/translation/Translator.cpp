#include <Translator.h>

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
