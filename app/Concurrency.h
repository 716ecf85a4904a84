// The worker pool: the only place kinrec runs anything concurrently. A batch of files is
// converted by several workers whose results are taken in the order of the batch.
// Nothing here knows about files.
#ifndef KINREC_CONCURRENCY_H
#define KINREC_CONCURRENCY_H

#include <cstddef>
#include <functional>
#include <vector>

// Runs job(0) ... job(n - 1) on `workers` threads, taking them in order; a job j starts
// only once every job of after[j] (all earlier than j) is done. Calls done(j) on the
// calling thread for j = 0, 1, ... in order, each as soon as job j is done. When no
// thread can be started, the jobs run on the calling thread.
//
// waits(j), when given, is called on a worker that has taken job j, whose after[j] is not
// empty, before it waits for them: a seam for tests, which can hold a predecessor until
// its successors were taken, so that an overtaking would have to show.
void RunInOrder(std::size_t n, int workers, const std::vector<std::vector<std::size_t>>& after,
                const std::function<void(std::size_t)>& job,
                const std::function<void(std::size_t)>& done,
                const std::function<void(std::size_t)>& waits = {});

#endif
