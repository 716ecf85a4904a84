#include "app/Concurrency.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

void RunInOrder(std::size_t n, int workers, const std::vector<long>& after,
                const std::function<void(std::size_t)>& job,
                const std::function<void(std::size_t)>& done) {
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
            if (after[j] >= 0) {
                // Started in order, so the job waited for runs on another worker.
                std::unique_lock<std::mutex> guard(lock);
                const auto k = static_cast<std::size_t>(after[j]);
                finished.wait(guard, [&] { return isDone[k] != 0; });
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
        pool.emplace_back(work);
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
