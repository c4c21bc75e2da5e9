#include "store/RowCache.h"

namespace qb {

const RowBlock* RowCache::find(int batch)
{
    const auto found = m_batches.find(batch);
    if (found == m_batches.end())
        return nullptr;
    if (m_order.front() != batch) {
        m_order.remove(batch);
        m_order.push_front(batch);
    }
    return &found->second;
}

const RowBlock& RowCache::remember(int batch, RowBlock&& block)
{
    const auto at = m_batches.insert_or_assign(batch, std::move(block)).first;
    m_order.remove(batch);
    m_order.push_front(batch);
    if (m_order.size() > kCachedBatches) {
        m_batches.erase(m_order.back());
        m_order.pop_back();
    }
    return at->second;
}

void RowCache::clear()
{
    m_batches.clear();
    m_order.clear();
}

} // namespace qb
