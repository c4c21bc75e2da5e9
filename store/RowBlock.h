#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <vector>

struct sqlite3_stmt;

namespace qb {

// Rows as read from the engine, kept as their UTF-8 bytes in one buffer per
// block: reading a million rows then costs a few allocations per block of
// rows instead of one per value, and only the values asked for become
// QStrings.
class RowBlock
{
public:
    explicit RowBlock(size_t columns) : m_columns(columns) {}

    size_t rows() const { return m_columns ? m_cells.size() / m_columns : m_emptyRows; }

    // Adds the current row of `st`, its columns from `firstColumn` on.
    void addRow(sqlite3_stmt* st, int firstColumn);
    // Adds a row of Nulls: one deleted behind the record set's back.
    void addNullRow();

    bool isNull(size_t row, size_t column) const { return cell(row, column).length < 0; }
    QString text(size_t row, size_t column) const
    {
        const Cell& c = cell(row, column);
        return c.length <= 0 ? QString() : QString::fromUtf8(m_bytes.constData() + c.offset, c.length);
    }
    QVariant value(size_t row, size_t column) const
    {
        return isNull(row, column) ? QVariant() : QVariant(text(row, column));
    }

private:
    struct Cell
    {
        quint32 offset;
        qint32 length; // -1 for Null
    };
    const Cell& cell(size_t row, size_t column) const { return m_cells[row * m_columns + column]; }

    size_t m_columns;
    size_t m_emptyRows = 0;
    QByteArray m_bytes;
    std::vector<Cell> m_cells;
};

// One row of a block.
struct RowRef
{
    const RowBlock* block;
    size_t row;
    QString text(size_t column) const { return block->text(row, column); }
    bool isNull(size_t column) const { return block->isNull(row, column); }
    QVariant value(size_t column) const { return block->value(row, column); }
};

} // namespace qb
