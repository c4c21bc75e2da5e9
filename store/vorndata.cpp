#include "store/vorndata.h"

#include "store/Connection.h"
#include "store/JetText.h"
#include "store/RecordSet.h"

#include <cmath>

namespace qb::vorndata {

namespace {
// Closes the record set and makes `statement` its only line.
void setStatement(RecordSet& query, const QString& statement)
{
    query.close();
    query.clearSql();
    query.addSql(statement);
}
} // namespace

bool execute(RecordSet& query, const QString& statement)
{
    try {
        setStatement(query, statement);
        query.execSql();
        query.clearSql();
        return true;
    } catch (...) {
        return false;
    }
}

bool createDatabase(const QString& filePath, const QString& password)
{
    try {
        Connection::createDatabase(filePath, password);
        return true;
    } catch (...) {
        return false;
    }
}

namespace {
// A quote inside a value is doubled, the standard escape, so that a text with
// an apostrophe is searched for instead of breaking the statement.
QString quotedValue(const QString& value)
{
    QString out = value;
    out.replace(u'\'', QStringLiteral("''"));
    return out;
}

// An unquoted value must be a plain number: the statement shows it as it
// stands, and the engine gets the number. Anything else the statement shows
// as NULL, which matches no row; so does a number without a value (infinity,
// not a number).
QVariant numberOf(const QString& value)
{
    bool ok = false;
    const qlonglong whole = value.toLongLong(&ok);
    if (ok)
        return QVariant(whole);
    const double real = value.toDouble(&ok);
    return ok && std::isfinite(real) ? QVariant(real) : QVariant();
}

QString numericValue(const QString& value)
{
    bool ok = false;
    value.toLongLong(&ok);
    if (!ok)
        value.toDouble(&ok);
    return ok ? value : QStringLiteral("NULL");
}
} // namespace

Condition conditionValue(const QString& field, const QString& value, int kind, bool quoted)
{
    using Compare = Condition::Compare;
    if (quoted) {
        const QString v = quotedValue(value);
        // An empty value is an empty text, not Null.
        const QString text = value.isNull() ? QStringLiteral("") : value;
        if (kind < 0)
            return Condition::comparison(field, Compare::Like, text + u'*',
                                         field + QStringLiteral(" like  '") + v + QStringLiteral("*'"));
        if (kind == 0)
            return Condition::comparison(field, Compare::SameText, text,
                                         field + QStringLiteral(" = '") + v + QStringLiteral("'"));
        return Condition::comparison(field, Compare::Like, u'%' + text + u'%',
                                     field + QStringLiteral(" like  '%") + v + QStringLiteral("%'"));
    }
    const QString v = numericValue(value);
    const QVariant number = numberOf(value);
    switch (kind) {
    case -2:
        return Condition::comparison(field, Compare::LessOrEqual, number, field + QStringLiteral(" <= ") + v);
    case -1:
        return Condition::comparison(field, Compare::Less, number, field + QStringLiteral(" < ") + v);
    case 1:
        return Condition::comparison(field, Compare::Greater, number, field + QStringLiteral(" >") + v);
    case 2:
        return Condition::comparison(field, Compare::GreaterOrEqual, number,
                                     field + QStringLiteral(" >=") + v);
    default:
        return Condition::comparison(field, Compare::Equal, number, field + QStringLiteral(" = ") + v);
    }
}

QString condition(const QString& field, const QString& value, int kind, bool quoted)
{
    return conditionValue(field, value, kind, quoted).text();
}

namespace {
bool openWith(RecordSet& query, const QString& table, const std::optional<Condition>& condition)
{
    try {
        query.close();
        query.selectFrom(table, condition);
        query.open();
    } catch (...) {
    }
    return query.active();
}
} // namespace

bool openTable(RecordSet& query, const QString& table)
{
    return openWith(query, table, std::nullopt);
}

bool openFiltered(RecordSet& query, const QString& table, const QString& condition)
{
    return openWith(query, table, Condition::fromText(condition));
}

bool openFiltered(RecordSet& query, const QString& table, const Condition& condition)
{
    return openWith(query, table, condition);
}

bool connect(Connection& connection, const QString& filePath, const QString& password)
{
    try {
        connection.setLoginPrompt(false);
        connection.setConnectionString(jet::connectionText(filePath, password), filePath, password);
        connection.setConnected(true);
        return connection.connected();
    } catch (...) {
        return false;
    }
}

} // namespace qb::vorndata
