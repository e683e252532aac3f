#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace varnok::test
{
// Aborts the test process with a message when the work in its scope outlives the limit, so that a
// reader caught in a loop fails the run instead of hanging it. The limit is far above what the work
// takes, sanitizer builds included.
class Watchdog
{
public:
    explicit Watchdog (std::string whatIsGuarded, std::chrono::seconds limit = std::chrono::seconds (30))
        : what (std::move (whatIsGuarded)),
          thread ([this, limit]
                  {
                      std::unique_lock<std::mutex> lock (mutex);

                      if (! finished.wait_for (lock, limit, [this] { return done; }))
                      {
                          std::fprintf (stderr, "watchdog: \"%s\" still running after %d s, aborting\n", what.c_str(), (int) limit.count());
                          std::fflush (stderr);
                          std::abort();
                      }
                  })
    {
    }

    ~Watchdog()
    {
        {
            const std::lock_guard<std::mutex> lock (mutex);
            done = true;
        }

        finished.notify_all();
        thread.join();
    }

    Watchdog (const Watchdog&) = delete;
    Watchdog& operator= (const Watchdog&) = delete;

private:
    std::string what;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread thread;
};
} // namespace varnok::test
