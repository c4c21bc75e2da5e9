#include "store/Condition.h"

#include "store/JetCompare.h"
#include "store/Statement.h"
#include "store/StoreError.h"

#include <sqlcipher/sqlite3.h>

namespace qb {

Condition Condition::fromText(const QString& text)
{
    Condition c;
    c += text;
    return c;
}

Condition Condition::comparison(const QString& field, Compare compare, const QVariant& value,
                                const QString& shown)
{
    Condition c;
    c.m_text = shown;
    c.m_pieces.push_back({QString(), field, compare, value});
    return c;
}

Condition& Condition::operator+=(const QString& words)
{
    m_text += words;
    if (!words.isEmpty())
        m_pieces.push_back({words, QString(), Compare::Equal, QVariant()});
    return *this;
}

Condition& Condition::operator+=(const Condition& other)
{
    m_text += other.m_text;
    m_pieces.insert(m_pieces.end(), other.m_pieces.begin(), other.m_pieces.end());
    return *this;
}

int Condition::parameterCount() const
{
    int n = 0;
    for (const Piece& piece : m_pieces)
        n += piece.field.isEmpty() ? 0 : 1;
    return n;
}

QString Condition::engineText(int firstParameter) const
{
    QString out;
    int parameter = firstParameter;
    for (const Piece& piece : m_pieces) {
        if (piece.field.isEmpty()) {
            out += piece.words;
            continue;
        }
        const QString mark = u'?' + QString::number(parameter++);
        if (piece.compare == Compare::SameText) {
            out += jet::sameTextCondition(piece.field, mark);
            continue;
        }
        // By Compare, from Like on.
        static const char* const kOperators[] = {" like ", " < ", " <= ", " = ", " > ", " >= "};
        out += piece.field + QLatin1String(kOperators[int(piece.compare) - int(Compare::Like)]) + mark;
    }
    return out;
}

void Condition::bind(Statement& statement, int firstParameter) const
{
    int parameter = firstParameter;
    for (const Piece& piece : m_pieces) {
        if (piece.field.isEmpty())
            continue;
        const int index = parameter++;
        const QVariant& value = piece.value;
        if (value.isNull()) {
            continue; // a parameter left unbound is Null
        } else if (value.typeId() == QMetaType::LongLong) {
            statement.bind(index, value.toLongLong());
        } else if (value.typeId() == QMetaType::Double) {
            const int rc = sqlite3_bind_double(statement.get(), index, value.toDouble());
            if (rc != SQLITE_OK)
                throw StoreError(QString::fromUtf8(sqlite3_errstr(rc)), rc);
        } else {
            statement.bind(index, value.toString());
        }
    }
}

} // namespace qb
