#include "palette/Parallel.h"

namespace palette {

ThreadPool::~ThreadPool()
{
    if (m_helpers.empty())
        return;
    m_stopping = true;
    m_round.fetch_add(1);
    m_round.notify_all();
    m_helpers.clear(); // joins them
}

void ThreadPool::run(int used, const std::function<void(int)>& job)
{
    if (used <= 1) {
        job(0);
        return;
    }
    if (m_helpers.empty()) {
        m_helpers.reserve(std::size_t(m_count - 1));
        for (int core = 1; core < m_count; ++core)
            m_helpers.emplace_back([this, core] { serve(core); });
    }
    m_job = &job;
    m_used = used;
    m_failure = nullptr;
    m_busy.store(m_count - 1);
    m_round.fetch_add(1);
    m_round.notify_all();
    // The helpers work on the caller's data: the loop returns, also by an
    // exception from the caller's own part, only when they are done.
    struct WaitForHelpers {
        std::atomic<int>& busy;
        ~WaitForHelpers()
        {
            for (int left = busy.load(); left; left = busy.load())
                busy.wait(left);
        }
    };
    {
        const WaitForHelpers wait{m_busy};
        job(0);
    }
    // A helper's exception would end the program on its thread: it is
    // thrown here instead, once every helper is done.
    if (m_failure)
        std::rethrow_exception(std::exchange(m_failure, nullptr));
}

void ThreadPool::serve(int core)
{
    quint32 seen = 0;
    for (;;) {
        m_round.wait(seen);
        seen = m_round.load();
        if (m_stopping)
            return;
        if (core < m_used) {
            try {
                (*m_job)(core);
            } catch (...) {
                const std::lock_guard lock(m_failureLock);
                if (!m_failure)
                    m_failure = std::current_exception();
            }
        }
        if (m_busy.fetch_sub(1) == 1)
            m_busy.notify_one();
    }
}

} // namespace palette
