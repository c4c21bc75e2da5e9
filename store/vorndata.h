#pragma once

#include <QString>

namespace qb {

class Connection;
class RecordSet;

// The data-access routines. None shows a message or lets a failure out: each
// says by its result whether it worked, and the store's state tells the rest
// (a record set that is not open, a connection that is not connected).
namespace vorndata {

bool execute(RecordSet& query, const QString& statement);
bool createDatabase(const QString& filePath, const QString& password);
QString condition(const QString& field, const QString& value, int kind, bool quoted);
bool openTable(RecordSet& query, const QString& table);
bool openFiltered(RecordSet& query, const QString& table, const QString& condition);
bool connect(Connection& connection, const QString& filePath, const QString& password);

} // namespace vorndata
} // namespace qb
