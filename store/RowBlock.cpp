#include "store/RowBlock.h"

#include <sqlcipher/sqlite3.h>

namespace qb {

void RowBlock::addRow(sqlite3_stmt* st, int firstColumn)
{
    for (size_t c = 0; c < m_columns; ++c) {
        const int column = firstColumn + int(c);
        if (sqlite3_column_type(st, column) == SQLITE_NULL) {
            m_cells.push_back({0, -1});
            continue;
        }
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(st, column));
        const int length = sqlite3_column_bytes(st, column);
        m_cells.push_back({quint32(m_bytes.size()), length});
        m_bytes.append(bytes, length);
    }
    if (!m_columns)
        ++m_emptyRows;
}

void RowBlock::addNullRow()
{
    m_cells.insert(m_cells.end(), m_columns, Cell{0, -1});
    if (!m_columns)
        ++m_emptyRows;
}

} // namespace qb
