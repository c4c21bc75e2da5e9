#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>
#include <vector>

namespace qb {

// A long list of short texts kept as their UTF-8 bytes in one buffer: a
// million result lines cost their bytes and an offset each, not a million
// separate strings. All lines together hold less than 4 GB.
class TextLines
{
public:
    int size() const { return int(m_ends.size()); }
    bool isEmpty() const { return m_ends.empty(); }

    QString at(int index) const
    {
        const quint32 begin = index == 0 ? 0 : m_ends[size_t(index) - 1];
        return QString::fromUtf8(m_bytes.constData() + begin, qsizetype(m_ends[size_t(index)] - begin));
    }

    void reserve(size_t lines, qsizetype bytes)
    {
        m_ends.reserve(lines);
        m_bytes.reserve(bytes);
    }

    // Appends one line made of the given pieces.
    void append(std::initializer_list<std::string_view> pieces)
    {
        for (std::string_view piece : pieces)
            m_bytes.append(piece.data(), qsizetype(piece.size()));
        m_ends.push_back(quint32(m_bytes.size()));
    }
    void append(const QString& line)
    {
        m_bytes.append(line.toUtf8());
        m_ends.push_back(quint32(m_bytes.size()));
    }

private:
    QByteArray m_bytes;
    std::vector<quint32> m_ends;
};

} // namespace qb
