#include "NamedTemporaries.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace BPrivate {

namespace {

// Named temporary files in the making, removed by the signal handler. The
// handler may not allocate or lock, hence fixed slots.
struct NamedSlot
{
    std::atomic<int> state{0}; // 0 free, 1 being filled, 2 to be removed on a signal
    char path[PATH_MAX];
};
const int kSlotCount = 16;
NamedSlot sSlots[kSlotCount];

// The signals whose default action ends the process and that can be caught;
// the ones sanitizers and debuggers use (SIGSEGV, SIGABRT, ...) stay alone.
const int kCleanupSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM,   SIGUSR1, SIGUSR2, SIGPIPE,
                               SIGALRM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO};

std::atomic<bool> sPipesIgnored{false};

void remove_named_and_die(int signal)
{
    if (signal == SIGPIPE && sPipesIgnored.load())
        return;
    for (NamedSlot& slot : sSlots) {
        if (slot.state.load() == 2)
            unlink(slot.path);
    }
    // The signal is blocked while its handler runs; it ends the process with
    // its default action as soon as the handler returns.
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    raise(signal);
}

// Only signals nobody else handles or ignores are taken.
void install_cleanup()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int signal : kCleanupSignals) {
            struct sigaction old;
            if (sigaction(signal, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) ||
                old.sa_handler != SIG_DFL)
                continue;
            struct sigaction action = {};
            action.sa_handler = remove_named_and_die;
            sigemptyset(&action.sa_mask);
            sigaction(signal, &action, nullptr);
        }
    });
}

} // namespace

int register_named(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return -1;
    install_cleanup();
    for (int i = 0; i < kSlotCount; i++) {
        int expected = 0;
        if (sSlots[i].state.compare_exchange_strong(expected, 1)) {
            memcpy(sSlots[i].path, path.c_str(), path.size() + 1);
            sSlots[i].state.store(2);
            return i;
        }
    }
    return -1;
}

void unregister_named(int slot)
{
    if (slot >= 0)
        sSlots[slot].state.store(0);
}

void ignore_broken_pipes()
{
    sPipesIgnored = true;
    struct sigaction old;
    if (sigaction(SIGPIPE, nullptr, &old) == 0 && !(old.sa_flags & SA_SIGINFO) &&
        old.sa_handler == SIG_DFL)
        signal(SIGPIPE, SIG_IGN);
}

} // namespace BPrivate
