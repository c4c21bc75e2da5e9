#pragma once

#include "store/Condition.h"

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
// The condition text: field, comparison and value joined as they are, a
// quote in a quoted value doubled. Kind below 0, 0 and above 0 with quoted
// give "like  'v*'", "= 'v'" and "like  '%v%'"; unquoted, -2, -1, 1, 2 and
// any other give " <= v", " < v", " >v", " >=v" and " = v".
QString condition(const QString& field, const QString& value, int kind, bool quoted);
// The same condition as a value: its text() is condition()'s, and the record
// set binds the value. A quoted "=" compares as jet::sameText() does.
Condition conditionValue(const QString& field, const QString& value, int kind, bool quoted);
bool openTable(RecordSet& query, const QString& table);
// The condition text goes to the engine as it stands; a condition value
// reports its text and binds its values.
bool openFiltered(RecordSet& query, const QString& table, const QString& condition);
bool openFiltered(RecordSet& query, const QString& table, const Condition& condition);
bool connect(Connection& connection, const QString& filePath, const QString& password);

} // namespace vorndata
} // namespace qb
