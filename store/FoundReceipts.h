#pragma once

#include "util/TextLines.h"

#include <QString>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qb {

class ReceiptIndex;

// A search lists each receipt it finds as one line, "<number>|<title>" (the
// title trimmed); selecting a line reads that receipt again by its number.
// A title may hold "|" itself, a number never does: the number is what comes
// before the first "|". The line is made and read back here only.
inline constexpr char kResultLineSeparator = '|';

// Appends the line of one receipt, `number` and `title` as UTF-8.
inline void appendResultLine(TextLines& lines, std::string_view number, std::string_view title)
{
    lines.append({number, std::string_view(&kResultLineSeparator, 1), title});
}
inline void appendResultLine(TextLines& lines, const QString& number, const QString& title)
{
    const QByteArray n = number.toUtf8();
    const QByteArray t = title.toUtf8();
    appendResultLine(lines, std::string_view(n.constData(), size_t(n.size())),
                     std::string_view(t.constData(), size_t(t.size())));
}

// The receipt number a result line starts with.
inline QString resultLineNumber(const QString& line)
{
    return line.left(line.indexOf(QLatin1Char(kResultLineSeparator)));
}

// The result lines of a search (see appendResultLine). Lines found in
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
