#pragma once

#include "store/Schema.h"

#include <QString>
#include <stdexcept>

namespace qb {

class Connection;
class RecordSet;

// An input/output failure with a system error code: "File access denied"
// for a denied access (code 5), "I/O error <code>" for the rest (183: a file
// stands where a folder should).
class InOutError : public std::runtime_error
{
public:
    explicit InOutError(int code);
    int code() const { return m_code; }
    static QString textFor(int code);
    // The program's code for an errno value of this platform.
    static int codeForErrno(int error);

private:
    int m_code;
};

// The temporary name under which a new store is made before it is moved to
// its real name.
inline const QString kStoreTemporaryPrefix =
    QLatin1Char('.') + schema::kStoreFileName + QStringLiteral("-new-");
inline const QString kStoreTemporarySuffix = QStringLiteral(".tmp");

// Removes the temporary files that a start or an import cut short (the
// program killed, the machine down) left in the program folder and the
// picture folder; returns how many. Only the program's own temporary names
// are touched, and none whose writer still runs.
int removeLeftoverFiles(const QString& programFolder);

// Makes the store ready at start-up: removes leftover temporary files, creates
// pj.db with the tables ml and pj when it is missing, creates the picture folder when it is missing (throws
// InOutError when it cannot), connects, and opens the receipts and the
// categories record sets. Failures of the store itself are not reported here:
// they show up as a closed record set at its first use.
void bootstrapStore(const QString& programFolder, Connection& connection, RecordSet& receipts,
                    RecordSet& categories);

} // namespace qb
