#ifndef _HANDLER_REGISTRY_H
#define _HANDLER_REGISTRY_H

#include <SupportDefs.h>

class BHandler;
class BLooper;

namespace BPrivate {

// Maps handler tokens to live handlers, so that a messenger whose handler was
// deleted finds nothing instead of freed memory.
class HandlerRegistry
{
public:
    static int32 Register(BHandler* handler);
    static void Unregister(int32 token);
    // The handler's looper, with the registry's view of it, or NULL.
    static BLooper* LooperFor(int32 token, BHandler** handler);
    static bool IsAlive(int32 token);
};

} // namespace BPrivate

#endif
