#include "tests/support/JetWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace qb::test {

namespace {

constexpr int kPage = 4096;
constexpr int kDataHeader = 14;                         // type, 1, free space, owner, 4 unknown, row count
constexpr int kLvalChunk = kPage - kDataHeader - 2 - 4; // one piece per long-value page
constexpr int kInlineMemoBytes = 1024;                  // longer memos go to long-value pages
constexpr int kMaxRowsPerPage = 255;
constexpr int kUsageMapPage = 1;
constexpr int kCatalogPage = 2;
constexpr unsigned kDeletedRow = 0x8000;
constexpr unsigned kMovedRow = 0x4000;

using Bytes = std::vector<std::uint8_t>;
using Page = std::vector<std::uint8_t>;

void put16(std::uint8_t* at, unsigned value)
{
    at[0] = std::uint8_t(value);
    at[1] = std::uint8_t(value >> 8);
}

void put32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = std::uint8_t(value >> (8 * i));
}

void append16(Bytes& out, unsigned value)
{
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}

void append32(Bytes& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(value >> (8 * i)));
}

Bytes ucs2(const QString& text)
{
    Bytes out;
    for (const QChar c : text)
        append16(out, c.unicode());
    return out;
}

// 0xff 0xfe, then runs of one byte a character and of two, each switched to
// the other by a 0x00; the original text where that cannot hold it.
Bytes text(const QString& value, bool compressed)
{
    Bytes out{0xff, 0xfe};
    bool single = true;
    for (const QChar c : value) {
        const unsigned u = c.unicode();
        const bool one = u >= 1 && u <= 0xff;
        if (!compressed || (!one && ((u & 0xff) == 0 || (u >> 8) == 0)))
            return ucs2(value);
        if (one != single)
            out.push_back(0);
        single = one;
        if (one)
            out.push_back(std::uint8_t(u));
        else
            append16(out, u);
    }
    return compressed ? out : ucs2(value);
}

// A row pointer: the row's number, then its page in three bytes.
void addToPage(std::uint8_t* pointer, std::uint32_t pages)
{
    const std::uint32_t page = pointer[1] | std::uint32_t(pointer[2]) << 8 | std::uint32_t(pointer[3]) << 16;
    put32(pointer, std::uint32_t(pointer[0]) | (page + pages) << 8);
}

bool isFixed(JetColumn::Kind kind)
{
    return kind == JetColumn::Counter || kind == JetColumn::Long || kind == JetColumn::Short ||
           kind == JetColumn::FixedText;
}

int fixedSize(const JetColumn& column)
{
    switch (column.kind) {
    case JetColumn::Counter:
    case JetColumn::Long:
        return 4;
    case JetColumn::Short:
        return 2;
    case JetColumn::FixedText:
        return column.characters * 2;
    default:
        return 0;
    }
}

void rc4(std::uint8_t* data, int size, const std::uint8_t* key, int keySize)
{
    std::uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = std::uint8_t(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keySize]) & 0xff;
        std::swap(s[i], s[j]);
    }
    for (int n = 0, i = 0, j = 0; n < size; ++n) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 0xff];
    }
}

class Writer
{
public:
    explicit Writer(int tableCount) : m_lvalBase(kCatalogPage + tableCount) {}

    // A data page chain for one table's rows; long values go to pages of
    // their own as the rows are encoded.
    // The places of moved rows' pointers are given in `pointers` (page
    // of the table, byte), their page numbers counted from the table's
    // first page.
    std::vector<Page> dataPages(const JetTable& table, int definitionPage,
                                std::vector<std::pair<int, int>>& pointers)
    {
        std::vector<Page> pages;
        std::vector<Page> moved;
        std::vector<std::pair<int, int>> targets; // page of `moved`, byte of the pointer
        for (const JetRow& row : table.rows) {
            Bytes encoded = encodeRow(table, row);
            unsigned flags = row.deleted ? kDeletedRow : 0;
            if (row.moved) {
                if (moved.empty() || !fits(moved.back(), int(encoded.size())))
                    moved.push_back(emptyDataPage(std::uint32_t(definitionPage)));
                const int slot = addRow(moved.back(), encoded, kDeletedRow);
                encoded = {std::uint8_t(slot), std::uint8_t(moved.size() - 1), 0, 0};
                flags |= kMovedRow;
            }
            if (pages.empty() || !fits(pages.back(), int(encoded.size())))
                pages.push_back(emptyDataPage(std::uint32_t(definitionPage)));
            const int slot = addRow(pages.back(), encoded, flags);
            if (row.moved)
                targets.emplace_back(int(pages.size() - 1), offsetOf(pages.back(), slot));
        }
        for (const auto& [page, at] : targets) {
            addToPage(&pages[size_t(page)][size_t(at)], std::uint32_t(pages.size()));
            pointers.emplace_back(page, at);
        }
        pages.insert(pages.end(), moved.begin(), moved.end());
        return pages;
    }

    static int offsetOf(const Page& page, int slot)
    {
        return (page[size_t(kDataHeader + 2 * slot)] | (page[size_t(kDataHeader + 2 * slot + 1)] << 8)) &
               0x1fff;
    }

    std::vector<Page>& longValuePages() { return m_lval; }

    static Page emptyDataPage(std::uint32_t owner)
    {
        Page page(kPage, 0);
        page[0] = 0x01;
        page[1] = 0x01;
        put32(&page[4], owner);
        put16(&page[2], kPage - kDataHeader);
        return page;
    }

    static bool fits(const Page& page, int size)
    {
        const int rows = page[12] | (page[13] << 8);
        const int free = page[2] | (page[3] << 8);
        return rows < kMaxRowsPerPage && free >= size + 2;
    }

    // Rows fill the page from its end towards the row offsets after the header.
    static int addRow(Page& page, const Bytes& row, unsigned flags = 0)
    {
        const int rows = page[12] | (page[13] << 8);
        const int end = rows == 0 ? kPage
                                  : (page[kDataHeader + 2 * (rows - 1)] |
                                     ((page[kDataHeader + 2 * (rows - 1) + 1] & 0x1f) << 8));
        const int start = end - int(row.size());
        std::copy(row.begin(), row.end(), page.begin() + start);
        put16(&page[kDataHeader + 2 * rows], unsigned(start) | flags);
        put16(&page[12], unsigned(rows + 1));
        const int free = page[2] | (page[3] << 8);
        put16(&page[2], unsigned(free - int(row.size()) - 2));
        return rows;
    }

private:
    Bytes memo(const QString& value, bool compressed)
    {
        const Bytes data = text(value, compressed);
        Bytes out;
        if (int(data.size()) <= kInlineMemoBytes) {
            append32(out, std::uint32_t(data.size()) | 0x80000000u);
            append32(out, 0);
            append32(out, 0);
            out.insert(out.end(), data.begin(), data.end());
            return out;
        }
        const int first = m_lvalBase + int(m_lval.size());
        if (int(data.size()) <= kLvalChunk + 4) {
            // One row of a long-value page, the value alone.
            Page page = emptyDataPage(0);
            std::memcpy(&page[4], "LVAL", 4);
            addRow(page, data);
            m_lval.push_back(std::move(page));
            append32(out, std::uint32_t(data.size()) | 0x40000000u);
            append32(out, std::uint32_t(first) << 8);
            append32(out, 0);
            return out;
        }
        // A chain of long-value pages, one piece each, each piece naming the next.
        const int pieces = int((data.size() + kLvalChunk - 1) / kLvalChunk);
        for (int i = 0; i < pieces; ++i) {
            Page page = emptyDataPage(0);
            std::memcpy(&page[4], "LVAL", 4);
            Bytes piece;
            append32(piece, i + 1 < pieces ? std::uint32_t(first + i + 1) << 8 : 0);
            const auto from = data.begin() + std::ptrdiff_t(i) * kLvalChunk;
            piece.insert(piece.end(), from, std::min(from + kLvalChunk, data.end()));
            addRow(page, piece);
            m_lval.push_back(std::move(page));
        }
        append32(out, std::uint32_t(data.size()));
        append32(out, std::uint32_t(first) << 8);
        append32(out, 0);
        return out;
    }

    // num_cols, the fixed columns, the variable ones, then from the end: the
    // null mask, the count of variable columns, their offsets backwards, and
    // the end of the data.
    Bytes encodeRow(const JetTable& table, const JetRow& row)
    {
        const auto& columns = table.columns;
        if (row.values.size() != columns.size())
            throw std::invalid_argument("a row needs one value per column");
        Bytes out;
        append16(out, unsigned(columns.size()));
        std::vector<bool> present(columns.size());
        for (size_t i = 0; i < columns.size(); ++i) {
            const QVariant& value = row.values[i];
            present[i] = value.isValid() && !value.isNull();
            if (!isFixed(columns[i].kind))
                continue;
            Bytes field(size_t(fixedSize(columns[i])), 0);
            if (present[i]) {
                if (columns[i].kind == JetColumn::FixedText) {
                    for (size_t b = 0; b < field.size(); b += 2)
                        field[b] = ' ';
                    const Bytes text = ucs2(value.toString());
                    if (text.size() > field.size())
                        throw std::invalid_argument("text longer than its column");
                    std::copy(text.begin(), text.end(), field.begin());
                } else {
                    const auto number = std::uint32_t(value.toLongLong());
                    for (size_t b = 0; b < field.size(); ++b)
                        field[b] = std::uint8_t(number >> (8 * b));
                }
            }
            out.insert(out.end(), field.begin(), field.end());
        }
        std::vector<unsigned> offsets;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (isFixed(columns[i].kind))
                continue;
            offsets.push_back(unsigned(out.size()));
            if (!present[i])
                continue;
            const QString value = row.values[i].toString();
            const Bytes data = columns[i].kind == JetColumn::Memo ? memo(value, columns[i].compressed)
                                                                  : text(value, columns[i].compressed);
            out.insert(out.end(), data.begin(), data.end());
        }
        if (!offsets.empty()) {
            append16(out, unsigned(out.size()));
            for (auto it = offsets.rbegin(); it != offsets.rend(); ++it)
                append16(out, *it);
            append16(out, unsigned(offsets.size()));
        }
        Bytes mask((columns.size() + 7) / 8, 0);
        for (size_t i = 0; i < columns.size(); ++i)
            if (present[i])
                mask[i / 8] |= std::uint8_t(1u << (i % 8));
        out.insert(out.end(), mask.begin(), mask.end());
        return out;
    }

    int m_lvalBase;
    std::vector<Page> m_lval;
};

std::uint8_t typeOf(JetColumn::Kind kind)
{
    switch (kind) {
    case JetColumn::Counter:
    case JetColumn::Long:
        return 0x04;
    case JetColumn::Short:
        return 0x03;
    case JetColumn::FixedText:
    case JetColumn::Text:
        return 0x0a;
    case JetColumn::Memo:
        return 0x0c;
    }
    return 0;
}

Page definitionPage(const JetTable& table, bool system, int liveRows, std::uint32_t nextCounter, int mapRow)
{
    Page page(kPage, 0);
    page[0] = 0x02;
    page[1] = 0x01;
    const int varCount = int(std::count_if(table.columns.begin(), table.columns.end(),
                                           [](const JetColumn& c) { return !isFixed(c.kind); }));
    put32(&page[16], std::uint32_t(liveRows));
    put32(&page[20], nextCounter);
    page[24] = 0x01;
    page[40] = system ? 0x53 : 0x4e;
    put16(&page[41], unsigned(table.columns.size()));
    put16(&page[43], unsigned(varCount));
    put16(&page[45], unsigned(table.columns.size()));
    put32(&page[55], std::uint32_t(kUsageMapPage << 8 | (2 * mapRow)));
    put32(&page[59], std::uint32_t(kUsageMapPage << 8 | (2 * mapRow + 1)));
    int at = 63;
    int fixedOffset = 0;
    int varIndex = 0;
    for (size_t i = 0; i < table.columns.size(); ++i) {
        const JetColumn& column = table.columns[i];
        std::uint8_t* entry = &page[size_t(at)];
        entry[0] = typeOf(column.kind);
        put16(entry + 5, unsigned(i));
        put16(entry + 9, unsigned(i));
        if (column.kind == JetColumn::FixedText || column.kind == JetColumn::Text ||
            column.kind == JetColumn::Memo)
            put16(entry + 11, 0x409);
        entry[15] = std::uint8_t(0x02 | (isFixed(column.kind) ? 0x01 : 0) |
                                 (column.kind == JetColumn::Counter ? 0x04 : 0));
        if (isFixed(column.kind)) {
            put16(entry + 21, unsigned(fixedOffset));
            fixedOffset += fixedSize(column);
        } else {
            put16(entry + 7, unsigned(varIndex++));
        }
        const int length = column.kind == JetColumn::Memo   ? 0
                           : column.kind == JetColumn::Text ? column.characters * 2
                                                            : fixedSize(column);
        put16(entry + 23, unsigned(length));
        at += 25;
    }
    for (const JetColumn& column : table.columns) {
        const Bytes name = ucs2(column.name);
        put16(&page[size_t(at)], unsigned(name.size()));
        std::copy(name.begin(), name.end(), page.begin() + at + 2);
        at += 2 + int(name.size());
    }
    put16(&page[size_t(at)], 0xffff);
    at += 2;
    if (at > kPage)
        throw std::invalid_argument("table definition does not fit one page");
    put32(&page[8], std::uint32_t(at - 8));
    put16(&page[2], unsigned(kPage - at));
    return page;
}

Page headerPage(const QString& password)
{
    Page page(kPage, 0);
    page[1] = 0x01;
    std::memcpy(&page[4], "Standard Jet DB", 15);
    page[0x14] = 0x01; // Jet 4
    put16(&page[0x3c], 1252);
    put16(&page[0x6e], 0x409);
    const double created = 45000.25; // a day in 2023
    std::memcpy(&page[0x72], &created, sizeof created);
    // The password, UCS-2, masked with the whole days of the creation date.
    const Bytes text = ucs2(password.left(20));
    std::uint8_t mask[4];
    put32(mask, std::uint32_t(std::int32_t(created)));
    for (int i = 0; i < 40; ++i)
        page[size_t(0x42 + i)] = std::uint8_t((size_t(i) < text.size() ? text[size_t(i)] : 0) ^ mask[i % 4]);
    const std::uint8_t key[4] = {0xc7, 0xda, 0x39, 0x6b};
    rc4(&page[0x18], 128, key, 4);
    return page;
}

} // namespace

QByteArray writeJet4(const std::vector<JetTable>& userTables, const QString& password)
{
    // The catalog lists itself and every table, each by its definition page.
    JetTable catalog{QStringLiteral("MSysObjects"),
                     {{QStringLiteral("Id"), JetColumn::Long},
                      {QStringLiteral("ParentId"), JetColumn::Long},
                      {QStringLiteral("Name"), JetColumn::Text, 128},
                      {QStringLiteral("Type"), JetColumn::Short},
                      {QStringLiteral("Flags"), JetColumn::Long},
                      {QStringLiteral("LvProp"), JetColumn::Memo}},
                     {}};
    catalog.rows.push_back({{kCatalogPage, 0, catalog.name, 1, qint64(0x80000002u), QVariant()}});
    for (size_t i = 0; i < userTables.size(); ++i)
        catalog.rows.push_back({{int(kCatalogPage + 1 + i), 0, userTables[i].name, 1, 0, QVariant()}});

    std::vector<const JetTable*> tables{&catalog};
    for (const JetTable& table : userTables)
        tables.push_back(&table);

    Writer writer(int(tables.size()));
    std::vector<std::vector<Page>> data;
    std::vector<std::vector<std::pair<int, int>>> pointers(tables.size());
    for (size_t i = 0; i < tables.size(); ++i)
        data.push_back(writer.dataPages(*tables[i], kCatalogPage + int(i), pointers[i]));

    // Long values first, then each table's data pages together, so that one
    // usage map per table covers its pages.
    std::vector<Page> pages{headerPage(password), Writer::emptyDataPage(0)};
    for (size_t i = 0; i < tables.size(); ++i) {
        const JetTable& table = *tables[i];
        int live = 0;
        std::uint32_t counter = 0;
        for (const JetRow& row : table.rows) {
            live += row.deleted ? 0 : 1;
            if (!table.columns.empty() && table.columns[0].kind == JetColumn::Counter)
                counter = std::max(counter, std::uint32_t(row.values[0].toLongLong()));
        }
        pages.push_back(definitionPage(table, i == 0, live, counter + 1, int(i)));
    }
    for (Page& page : writer.longValuePages())
        pages.push_back(std::move(page));
    for (size_t i = 0; i < tables.size(); ++i) {
        const int first = int(pages.size());
        const int count = int(data[i].size());
        for (const auto& [page, at] : pointers[i])
            addToPage(&data[i][size_t(page)][size_t(at)], std::uint32_t(first));
        for (Page& page : data[i])
            pages.push_back(std::move(page));
        Bytes used{0x00};
        append32(used, std::uint32_t(count ? first : 0));
        Bytes bits(size_t(std::max(1, (count + 7) / 8)), 0);
        for (int p = 0; p < count; ++p)
            bits[size_t(p / 8)] |= std::uint8_t(1u << (p % 8));
        used.insert(used.end(), bits.begin(), bits.end());
        const Bytes free{0x00, 0, 0, 0, 0, 0};
        if (!Writer::fits(pages[kUsageMapPage], int(used.size() + free.size()) + 2))
            throw std::invalid_argument("usage maps do not fit their page");
        Writer::addRow(pages[kUsageMapPage], used);
        Writer::addRow(pages[kUsageMapPage], free);
    }

    QByteArray file;
    file.reserve(qsizetype(pages.size()) * kPage);
    for (const Page& page : pages)
        file.append(reinterpret_cast<const char*>(page.data()), kPage);
    return file;
}

JetTable jetCategories(std::vector<JetRow> rows)
{
    return {QStringLiteral("ml"),
            {{QStringLiteral("ID"), JetColumn::Counter}, {QStringLiteral("类别"), JetColumn::FixedText, 50}},
            std::move(rows)};
}

JetTable jetReceipts(std::vector<JetRow> rows, bool compressed)
{
    const JetColumn::Kind text = compressed ? JetColumn::Text : JetColumn::FixedText;
    return {QStringLiteral("pj"),
            {{QStringLiteral("ID"), JetColumn::Counter},
             {QStringLiteral("类别"), text, 50, compressed},
             {QStringLiteral("票据标题"), text, 50, compressed},
             {QStringLiteral("说明"), JetColumn::Memo, 0, compressed},
             {QStringLiteral("图片"), text, 50, compressed}},
            std::move(rows)};
}

JetTable jetPasswords(std::vector<JetRow> rows)
{
    return {QStringLiteral("pass"), {{QStringLiteral("mm"), JetColumn::FixedText, 50}}, std::move(rows)};
}

} // namespace qb::test
