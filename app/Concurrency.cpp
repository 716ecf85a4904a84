#include "app/Concurrency.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

void RunInOrder(std::size_t n, int workers, const std::vector<std::vector<std::size_t>>& after,
                const std::function<void(std::size_t)>& job,
                const std::function<void(std::size_t)>& done,
                const std::function<void(std::size_t)>& waits) {
    std::mutex lock;
    std::condition_variable finished;
    std::vector<char> isDone(n, 0);
    std::atomic<std::size_t> next{0};

    auto work = [&] {
        for (;;) {
            const std::size_t j = next++;
            if (j >= n) {
                return;
            }
            if (!after[j].empty()) {
                if (waits) {
                    waits(j);
                }
                // Taken in order, so the jobs waited for run on other workers.
                std::unique_lock<std::mutex> guard(lock);
                finished.wait(guard, [&] {
                    for (std::size_t k : after[j]) {
                        if (isDone[k] == 0) {
                            return false;
                        }
                    }
                    return true;
                });
            }
            job(j);
            const std::lock_guard<std::mutex> guard(lock);
            isDone[j] = 1;
            finished.notify_all();
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(workers));
    for (int w = 0; w < workers; ++w) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {
            break; // the system gives no more threads: the ones there are do the work
        }
    }
    if (pool.empty()) {
        for (std::size_t j = 0; j < n; ++j) {
            job(j);
            done(j);
        }
        return;
    }
    for (std::size_t j = 0; j < n; ++j) {
        {
            std::unique_lock<std::mutex> guard(lock);
            finished.wait(guard, [&] { return isDone[j] != 0; });
        }
        done(j);
    }
    for (std::thread& t : pool) {
        t.join();
    }
}
