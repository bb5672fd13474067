#include "HandlerRegistry.h"

#include <Handler.h>
#include <Looper.h>

#include <mutex>
#include <unordered_map>

namespace BPrivate {

namespace {
std::mutex sLock;
std::unordered_map<int32, BHandler*>& Map()
{
    static auto* map = new std::unordered_map<int32, BHandler*>;
    return *map;
}
int32 sNextToken = 1;
} // namespace

int32 HandlerRegistry::Register(BHandler* handler)
{
    std::lock_guard<std::mutex> guard(sLock);
    int32 token = sNextToken++;
    Map()[token] = handler;
    return token;
}

void HandlerRegistry::Unregister(int32 token)
{
    std::lock_guard<std::mutex> guard(sLock);
    Map().erase(token);
}

BLooper* HandlerRegistry::LooperFor(int32 token, BHandler** handler)
{
    std::lock_guard<std::mutex> guard(sLock);
    auto it = Map().find(token);
    if (it == Map().end())
        return nullptr;
    if (handler)
        *handler = it->second;
    return it->second->Looper();
}

bool HandlerRegistry::IsAlive(int32 token)
{
    std::lock_guard<std::mutex> guard(sLock);
    return Map().count(token) != 0;
}

} // namespace BPrivate
