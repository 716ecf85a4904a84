// The batch scheduler on its own, with a fake conversion that records when each job
// starts and ends.
#include "app/Concurrency.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
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
// 3, 7 after 1 and 4. With a worker for every job, each job with successors is held until
// every successor was taken (it waits for its predecessors, or, overtaking, has started),
// so a scheduler that lets a job overtake its chain shows it every time. With fewer
// workers nothing is held (that could stall a correct scheduler): order and chains only.
TEST(ConcurrencyTest, ChainsNeverOverlapAndResultsComeInOrder) {
    const std::vector<std::vector<std::size_t>> after = {{}, {}, {0}, {}, {3}, {2}, {}, {1, 4}};
    std::vector<std::vector<std::size_t>> successors(after.size());
    for (std::size_t j = 0; j < after.size(); ++j) {
        for (std::size_t k : after[j]) {
            successors[k].push_back(j);
        }
    }
    for (int workers : {1, 2, 3, 8}) {
        const bool hold = workers >= static_cast<int>(after.size());
        Log log;
        std::mutex lock;
        std::condition_variable changed;
        std::vector<char> taken(after.size(), 0);
        auto take = [&](std::size_t j) {
            const std::lock_guard<std::mutex> guard(lock);
            taken[j] = 1;
            changed.notify_all();
        };
        std::vector<std::size_t> done;
        RunInOrder(
            after.size(), workers, after,
            [&](std::size_t j) {
                log.Add('s', j);
                take(j);
                if (hold) {
                    std::unique_lock<std::mutex> guard(lock);
                    changed.wait(guard, [&] {
                        for (std::size_t k : successors[j]) {
                            if (taken[k] == 0) {
                                return false;
                            }
                        }
                        return true;
                    });
                }
                log.Add('e', j);
            },
            [&](std::size_t j) { done.push_back(j); }, take);
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
