#include "store/BatchPipe.h"

namespace qb {

BatchPipe::BatchPipe(std::function<void(std::string_view batch)> work, size_t depth)
    : m_work(std::move(work)), m_depth(depth == 0 ? 1 : depth), m_thread([this] { run(); })
{
}

BatchPipe::~BatchPipe()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

std::string BatchPipe::take()
{
    std::lock_guard lock(m_mutex);
    if (m_spare.empty())
        return {};
    std::string batch = std::move(m_spare.back());
    m_spare.pop_back();
    batch.clear();
    return batch;
}

void BatchPipe::push(std::string batch)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_waiting.size() < m_depth || m_failure; });
    throwFailure();
    m_waiting.push_back(std::move(batch));
    lock.unlock();
    m_changed.notify_all();
}

void BatchPipe::finish()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return (m_waiting.empty() && !m_working) || m_failure; });
    throwFailure();
}

void BatchPipe::throwFailure()
{
    if (m_failure)
        std::rethrow_exception(m_failure);
}

void BatchPipe::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || !m_waiting.empty(); });
        if (m_stop)
            return;
        std::string batch = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_working = true;
        lock.unlock();
        std::exception_ptr failure;
        try {
            m_work(batch);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        m_working = false;
        if (failure) {
            m_failure = failure;
            m_waiting.clear();
        } else if (m_spare.size() < m_depth) {
            m_spare.push_back(std::move(batch));
        }
        m_changed.notify_all();
        if (m_failure)
            m_changed.wait(lock, [this] { return m_stop; });
    }
}

} // namespace qb
