#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace qb {

// Hands batches of bytes from the thread that reads them to one thread of
// its own that works on them, in the order given, so that reading the next
// batch and working on the last one take the two cores at once.
//
// At most `depth` batches wait; push() waits for room, so the bytes in
// flight stay small whatever the reader finds. What the worker throws stops
// it; push() and finish() throw it again on the reading thread, which stops
// reading. The destructor stops the worker and waits for it, so whatever the
// worker writes to is the caller's again once the pipe is gone, also when
// the reading ends by an exception.
class BatchPipe
{
public:
    explicit BatchPipe(std::function<void(std::string_view batch)> work, size_t depth = 3);
    ~BatchPipe();
    BatchPipe(const BatchPipe&) = delete;
    BatchPipe& operator=(const BatchPipe&) = delete;

    // An empty batch to fill, with the room of one the worker is done with.
    std::string take();
    void push(std::string batch);
    // Waits until every batch pushed is worked on.
    void finish();

private:
    void run();
    void throwFailure();

    std::function<void(std::string_view)> m_work;
    const size_t m_depth;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_waiting;
    std::vector<std::string> m_spare;
    bool m_working = false;
    bool m_stop = false;
    std::exception_ptr m_failure;
    std::thread m_thread;
};

} // namespace qb
