// The batch scheduler on its own, with a fake conversion that records when each job
// starts and ends.
#include "app/Concurrency.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Log {
    std::mutex lock;
    std::vector<std::string> events; // "s3", "e3": job 3 started, ended
    void Add(char what, std::size_t j) {
        const std::lock_guard<std::mutex> guard(lock);
        events.push_back(what + std::to_string(j));
    }
    std::size_t At(const std::string& e) const {
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (events[i] == e) {
                return i;
            }
        }
        return events.size();
    }
};

// Jobs 0..n-1 with the chains of files that share a file: 2 after 0, 5 after 2, 4 after
// 3, 7 after 1 and 4. Every job takes a moment, longer for the early ones, so that a later job
// would overtake its chain's predecessor if it were let.
TEST(ConcurrencyTest, ChainsNeverOverlapAndResultsComeInOrder) {
    const std::vector<std::vector<std::size_t>> after = {{}, {}, {0}, {}, {3}, {2}, {}, {1, 4}};
    for (int workers : {1, 2, 3, 8}) {
        Log log;
        std::vector<std::size_t> done;
        RunInOrder(
            after.size(), workers, after,
            [&](std::size_t j) {
                log.Add('s', j);
                std::this_thread::sleep_for(std::chrono::milliseconds(j < 3 ? 20 : 2));
                log.Add('e', j);
            },
            [&](std::size_t j) { done.push_back(j); });
        for (std::size_t j = 0; j < after.size(); ++j) {
            EXPECT_EQ(done[j], j);
            ASSERT_LT(log.At("e" + std::to_string(j)), log.events.size()) << "job " << j;
            for (std::size_t k : after[j]) {
                EXPECT_GT(log.At("s" + std::to_string(j)), log.At("e" + std::to_string(k)))
                    << "job " << j << " overlapped job " << k << " with " << workers << " workers";
            }
        }
        if (workers == 1) {
            for (std::size_t j = 0; j < after.size(); ++j) {
                EXPECT_EQ(log.events[2 * j], "s" + std::to_string(j));
            }
        }
    }
}

// Two workers do run two jobs at once: jobs 0 and 1 each wait for the other to start.
TEST(ConcurrencyTest, WorkersRunAtOnce) {
    std::mutex lock;
    std::condition_variable cv;
    int started = 0;
    bool met = true;
    RunInOrder(
        2, 2, {{}, {}},
        [&](std::size_t) {
            std::unique_lock<std::mutex> guard(lock);
            ++started;
            cv.notify_all();
            if (!cv.wait_for(guard, std::chrono::seconds(10), [&] { return started == 2; })) {
                met = false;
            }
        },
        [](std::size_t) {});
    EXPECT_TRUE(met);
}

} // namespace
