#pragma once

#include "util/TextLines.h"

#include <cstdint>
#include <vector>

namespace qb {

class ReceiptIndex;

// The result lines of a search, "<number>|<trimmed title>". Lines found in
// the receipts' copy in memory are read from it as they are shown; before
// the copy changes, keep() reads them out, so that they stay as found.
class FoundReceipts
{
public:
    FoundReceipts() = default;
    explicit FoundReceipts(TextLines lines) : m_lines(std::move(lines)) {}
    FoundReceipts(const ReceiptIndex& index, std::vector<std::uint32_t> rows)
        : m_index(&index), m_rows(std::move(rows))
    {
    }

    int size() const { return m_index ? int(m_rows.size()) : m_lines.size(); }
    QString at(int line) const;
    void keep();

private:
    TextLines m_lines;
    const ReceiptIndex* m_index = nullptr;
    std::vector<std::uint32_t> m_rows;
};

} // namespace qb
