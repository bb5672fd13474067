// Reading what another program gives for a Wayland drop through a pipe:
// whatever the writer does (sends too much, stalls, trickles for ever, goes
// away), the read ends in time and holds no more than its limit.

#include "qt/WaylandDrop.h"

#include <Errors.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

enum class Writer {
    Closes,   // all its bytes, then the end
    Stays,    // all its bytes, then silence with the pipe open
    Trickles, // a byte every 20 ms, for ever
};

TEST(PipeReadTest, EndsInTimeAndWithinItsLimit)
{
    signal(SIGPIPE, SIG_IGN);
    const BPrivate::SelectionLimits limits = {1000, 300, 1500};
    struct
    {
        const char* name;
        Writer writer;
        size_t bytes;
        status_t status;
    } cases[] = {
        {"nothing", Writer::Closes, 0, B_OK},
        {"a little", Writer::Closes, 10, B_OK},
        {"the limit", Writer::Closes, 1000, B_OK},
        {"one byte more", Writer::Closes, 1001, B_BUFFER_OVERFLOW},
        {"megabytes", Writer::Closes, 8 << 20, B_BUFFER_OVERFLOW},
        {"a stall", Writer::Stays, 10, B_TIMED_OUT},
        {"a trickle", Writer::Trickles, 0, B_TIMED_OUT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        std::atomic<bool> stop{false};
        std::thread writer([&]() {
            std::string bytes(c.bytes, 'x');
            size_t done = 0;
            while (done < bytes.size()) {
                ssize_t n = write(ends[1], bytes.data() + done, bytes.size() - done);
                if (n <= 0)
                    break;
                done += (size_t)n;
            }
            while (c.writer != Writer::Closes && !stop) {
                if (c.writer == Writer::Trickles && write(ends[1], "x", 1) != 1)
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            close(ends[1]);
        });
        QByteArray got;
        Clock::time_point start = Clock::now();
        status_t status = BPrivate::read_pipe(ends[0], limits, &got);
        auto took = Clock::now() - start;
        stop = true;
        writer.join();
        EXPECT_EQ(status, c.status);
        EXPECT_EQ((size_t)got.size(), c.status == B_OK ? c.bytes : 0u);
        EXPECT_LT(took, std::chrono::milliseconds(limits.totalMs + 1000));
        if (c.writer == Writer::Stays) {
            EXPECT_GE(took, std::chrono::milliseconds(limits.idleMs));
        } else if (c.writer == Writer::Trickles) {
            EXPECT_GE(took, std::chrono::milliseconds(limits.totalMs));
        }
    }
}

} // namespace
