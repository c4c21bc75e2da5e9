#include "store/PictureNames.h"

#include "store/Connection.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "util/Trim.h"

namespace qb {

namespace {

QString trimmedValue(const Statement& q)
{
    return trimmed(QString::fromUtf8(reinterpret_cast<const char*>(q.text(0)), q.bytes(0)));
}

constexpr int kMostStretchRows = 4096;

} // namespace

// Texts below "!" start with a blank or a control character; numbers sort
// before every text and blobs after.
void PictureNames::readOddValues()
{
    Statement q(m_connection.handle(), QStringLiteral("select %1 from %2 where %1 < '!' or %1 >= x''")
                                           .arg(schema::kPicture, schema::kReceipts));
    while (q.step())
        m_odd.insert(trimmedValue(q));
    m_oddRead = true;
}

// Reads the index from `from` on, a stretch at a time; each new stretch is
// twice as long as the one before, so that one question costs one short
// read and a long walk a few long ones.
void PictureNames::readStretchFrom(const QByteArray& from)
{
    Statement q(m_connection.handle(), QStringLiteral("select %1 from %2 where %1 >= ?1 order by %1 limit ?2")
                                           .arg(schema::kPicture, schema::kReceipts));
    q.bind(1, from);
    q.bind(2, qint64(m_stretchRows));
    m_stretch.clear();
    int rows = 0;
    while (q.step()) {
        m_stretch.insert(trimmedValue(q));
        m_to = QByteArray(reinterpret_cast<const char*>(q.text(0)), q.bytes(0));
        ++rows;
    }
    m_from = from;
    m_toEnd = rows < m_stretchRows;
    m_stretchRead = true;
    m_stretchRows = qMin(m_stretchRows * 2, kMostStretchRows);
}

bool PictureNames::named(const QString& name)
{
    if (!m_oddRead)
        readOddValues();
    if (m_odd.contains(name))
        return true;
    // A value that trims to `name` and is no odd one is `name` followed by
    // blanks or control characters, all of which sort below `name` + "!".
    const QByteArray key = name.toUtf8();
    const QByteArray pastPadded = key + '!';
    const bool covered = m_stretchRead && m_from <= key && (m_toEnd || pastPadded <= m_to);
    if (covered || m_stretch.contains(name))
        return m_stretch.contains(name);
    readStretchFrom(key);
    if (m_stretch.contains(name) || m_toEnd || pastPadded <= m_to)
        return m_stretch.contains(name);
    // A whole stretch of values that start with the name and are not it:
    // the values that could trim to it are read on their own.
    Statement q(m_connection.handle(), QStringLiteral("select %1 from %2 where %1 >= ?1 and %1 < ?2")
                                           .arg(schema::kPicture, schema::kReceipts));
    q.bind(1, key);
    q.bind(2, pastPadded);
    while (q.step())
        if (trimmedValue(q) == name)
            return true;
    return false;
}

} // namespace qb
