#pragma once

#include "store/RowBlock.h"

#include <list>
#include <unordered_map>

namespace qb {

// The rows of a keyed record set that were read lately, in batches of
// kBatchRows consecutive rows (batch b holds rows b * kBatchRows on). At most
// kCachedBatches are kept; the one used longest ago goes first. A grid page
// and a scroll through it stay in memory.
class RowCache
{
public:
    static constexpr int kBatchRows = 512;
    static constexpr size_t kCachedBatches = 32;

    // The batch when it is kept, which then counts as used now; null otherwise.
    const RowBlock* find(int batch);
    // Keeps `block` as the batch, in place of an older copy.
    const RowBlock& remember(int batch, RowBlock&& block);
    // Drops every batch (the rows changed, or their positions did).
    void clear();

private:
    std::unordered_map<int, RowBlock> m_batches;
    std::list<int> m_order; // most recently used first
};

} // namespace qb
