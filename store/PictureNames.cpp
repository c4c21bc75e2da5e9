#include "store/PictureNames.h"

#include "store/Connection.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "util/Trim.h"

#include <QFileInfo>
#include <algorithm>

namespace qb {

namespace {

std::string_view rawValue(const Statement& q)
{
    return {reinterpret_cast<const char*>(q.text(0)), size_t(q.bytes(0))};
}

// The value as the display reads it: without the characters up to and
// including the blank at either end. In UTF-8 those are single bytes that
// occur in no longer sequence, so the bytes can be cut directly. A value
// that is no valid UTF-8 becomes the text the display shows for it.
std::string trimmedValue(const Statement& q)
{
    const std::string_view value = trimmedBytes(rawValue(q));
    if (std::all_of(value.begin(), value.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(value);
    const QByteArray shown = QString::fromUtf8(value.data(), qsizetype(value.size())).toUtf8();
    return std::string(shown.constData(), size_t(shown.size()));
}

constexpr int kMostStretchRows = 4096;

// The name in the picture folder (`canonicalFolder`, resolved) of the file
// that the display opens for the stored value `value` (trimmed): the picture
// folder's path followed by the value, which the system resolves through the
// folders it names as they are now, links and ".." included. Empty when that
// file lies elsewhere, or is a folder.
std::string nameReached(const std::string& value, const QString& pictureFolder,
                        const QString& canonicalFolder)
{
    const QString path = pictureFolder + QString::fromUtf8(value.data(), qsizetype(value.size()));
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString name = path.mid(slash + 1);
    if (canonicalFolder.isEmpty() || name.isEmpty() || name == u"." || name == u"..")
        return {};
    if (QFileInfo(path.left(slash + 1)).canonicalFilePath() != canonicalFolder)
        return {};
    const QByteArray utf8 = name.toUtf8();
    return std::string(utf8.constData(), size_t(utf8.size()));
}

} // namespace

// Texts below "!" start with a blank or a control character; numbers sort
// before every text and blobs after.
void PictureNames::readOddValues()
{
    Statement q(m_connection.handle(), QStringLiteral("select %1 from %2 where %1 < '!' or %1 >= x''")
                                           .arg(schema::kPicture, schema::kReceipts));
    while (q.step())
        m_odd.insert(trimmedValue(q));
    // Values with a folder part are few, and an index of their own
    // (schema::kCreatePicturePathIndex) finds them without reading the rest.
    Statement paths(m_connection.handle(), QStringLiteral("select %1 from %2 where instr(%1, '/') > 0")
                                               .arg(schema::kPicture, schema::kReceipts));
    const QString canonicalFolder = QFileInfo(m_folder).canonicalFilePath();
    while (paths.step())
        if (std::string name = nameReached(trimmedValue(paths), m_folder, canonicalFolder); !name.empty())
            m_odd.insert(std::move(name));
    m_oddRead = true;
}

// Reads the index from `from` on, a stretch at a time; each new stretch is
// twice as long as the one before, so that one question costs one short
// read and a long walk a few long ones.
void PictureNames::readStretchFrom(std::string_view from)
{
    Statement q(m_connection.handle(), QStringLiteral("select %1 from %2 where %1 >= ?1 order by %1 limit ?2")
                                           .arg(schema::kPicture, schema::kReceipts));
    q.bindText(1, from);
    q.bind(2, qint64(m_stretchRows));
    m_stretch.clear();
    m_stretch.reserve(size_t(m_stretchRows));
    int rows = 0;
    while (q.step()) {
        m_stretch.insert(trimmedValue(q));
        m_to = rawValue(q);
        ++rows;
    }
    m_from = from;
    m_toEnd = rows < m_stretchRows;
    m_stretchRead = true;
    m_stretchRows = std::min(m_stretchRows * 2, kMostStretchRows);
}

bool PictureNames::named(const QString& name)
{
    const QByteArray utf8 = name.toUtf8();
    return named(std::string_view(utf8.constData(), size_t(utf8.size())));
}

bool PictureNames::named(std::string_view name)
{
    if (!m_oddRead)
        readOddValues();
    // The sets look names up without a string of their own.
    const absl::string_view key(name.data(), name.size());
    if (m_odd.contains(key))
        return true;
    // A value that trims to `name` and is no odd one is `name` followed by
    // blanks or control characters, all of which sort below `name` + "!".
    std::string pastPadded(name);
    pastPadded += '!';
    const bool covered = m_stretchRead && std::string_view(m_from) <= name && (m_toEnd || pastPadded <= m_to);
    if (covered || m_stretch.contains(key))
        return m_stretch.contains(key);
    readStretchFrom(name);
    if (m_stretch.contains(key) || m_toEnd || pastPadded <= m_to)
        return m_stretch.contains(key);
    // A whole stretch of values that start with the name and are not it:
    // the values that could trim to it are read on their own.
    Statement q(m_connection.handle(), QStringLiteral("select %1 from %2 where %1 >= ?1 and %1 < ?2")
                                           .arg(schema::kPicture, schema::kReceipts));
    q.bindText(1, name);
    q.bindText(2, pastPadded);
    while (q.step())
        if (trimmedValue(q) == name)
            return true;
    return false;
}

} // namespace qb
