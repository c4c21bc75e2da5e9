#include "store/vorndata.h"

#include "store/Connection.h"
#include "store/JetText.h"
#include "store/RecordSet.h"

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

// An unquoted value goes into the statement as it stands, so it must be a
// plain number; anything else compares with Null and matches no row.
QString numericValue(const QString& value)
{
    bool ok = false;
    value.toLongLong(&ok);
    if (!ok)
        value.toDouble(&ok);
    return ok ? value : QStringLiteral("NULL");
}
} // namespace

QString condition(const QString& field, const QString& value, int kind, bool quoted)
{
    if (quoted) {
        const QString v = quotedValue(value);
        if (kind < 0)
            return field + QStringLiteral(" like  '") + v + QStringLiteral("*'");
        if (kind == 0)
            return field + QStringLiteral(" = '") + v + QStringLiteral("'");
        return field + QStringLiteral(" like  '%") + v + QStringLiteral("%'");
    }
    const QString v = numericValue(value);
    switch (kind) {
    case -2:
        return field + QStringLiteral(" <= ") + v;
    case -1:
        return field + QStringLiteral(" < ") + v;
    case 1:
        return field + QStringLiteral(" >") + v;
    case 2:
        return field + QStringLiteral(" >=") + v;
    default:
        return field + QStringLiteral(" = ") + v;
    }
}

namespace {
bool openWith(RecordSet& query, const QString& table, const std::optional<QString>& condition)
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
