#ifndef TAVRIN_JXL_RUNNER_H
#define TAVRIN_JXL_RUNNER_H

#include <memory>

#include <jxl/thread_parallel_runner.h>

// The decoder and the encoder both work on two threads of a runner of
// libjxl's; the runner is released with its handle.
using Runner = std::unique_ptr<void, void (*)(void*)>;

inline Runner make_runner()
{
    return Runner(JxlThreadParallelRunnerCreate(nullptr, 2), JxlThreadParallelRunnerDestroy);
}

#endif
