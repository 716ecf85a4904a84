// Threads, queues and the worker pool: the only place kinrec runs anything concurrently.
//
// Two uses: the two stages of one long conversion hand batches of samples over a
// bounded queue, and a batch of files is converted by several workers whose results
// are taken in the order of the batch. Nothing here knows about samples or files.
#ifndef KINREC_CONCURRENCY_H
#define KINREC_CONCURRENCY_H

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

// A queue of at most capacity items between threads.
template <class T>
class BoundedQueue {
  public:
    explicit BoundedQueue(std::size_t capacity) : capacity_(capacity) {}

    // Waits while the queue is full.
    void Push(T item) {
        std::unique_lock<std::mutex> guard(lock_);
        notFull_.wait(guard, [this] { return items_.size() < capacity_; });
        items_.push_back(std::move(item));
        notEmpty_.notify_one();
    }

    // Waits for an item; false once the queue is closed and empty.
    bool Pop(T* item) {
        std::unique_lock<std::mutex> guard(lock_);
        notEmpty_.wait(guard, [this] { return !items_.empty() || closed_; });
        if (items_.empty()) {
            return false;
        }
        *item = std::move(items_.front());
        items_.pop_front();
        notFull_.notify_one();
        return true;
    }

    // No more items will come.
    void Close() {
        const std::lock_guard<std::mutex> guard(lock_);
        closed_ = true;
        notEmpty_.notify_all();
    }

  private:
    std::mutex lock_;
    std::condition_variable notEmpty_;
    std::condition_variable notFull_;
    std::deque<T> items_;
    std::size_t capacity_;
    bool closed_ = false;
};

// Runs produce on the calling thread and consume on a second one.
void RunOnTwoThreads(const std::function<void()>& produce, const std::function<void()>& consume);

// Runs job(0) ... job(n - 1) on `workers` threads, starting them in order; a job j
// with after[j] >= 0 starts only once job after[j] is done. Calls done(j) on the
// calling thread for j = 0, 1, ... in order, each as soon as job j is done.
void RunInOrder(std::size_t n, int workers, const std::vector<long>& after,
                const std::function<void(std::size_t)>& job,
                const std::function<void(std::size_t)>& done);

#endif
