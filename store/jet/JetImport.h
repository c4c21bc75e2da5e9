#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <stdexcept>

namespace qb::jet {

// A store file of the Jet (Access) format that cannot be read: damaged, or
// in a form the reader does not know.
class ImportError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A Jet file that holds no receipt table: not a store of the old program.
class NotReceiptStore : public ImportError
{
public:
    using ImportError::ImportError;
};

struct ImportCounts
{
    long long receipts = 0;
    long long categories = 0;
};

// Reads the tables ml, pj and pass of the Jet file at `jetPath` (opened
// read-only, never written) and writes them, with the same receipt and
// category numbers and every value as the file holds it (Null as Null), into
// a new store at `storePath`, which must not exist. Columns are taken by
// position. `progress` hears (receipts done, receipts in all) now and then.
// Every row the file's table definitions count must be read whole, every
// long value as long as its header says. Throws NotReceiptStore, before
// anything is written, when the file has no table pj of the old program's
// five columns; ImportError when the Jet file cannot be read or does not add
// up; StoreError when the new store cannot be written. After the last two
// the new file may be left half written.
ImportCounts importJetStore(const QByteArray& jetPath, const QString& storePath,
                            const std::function<void(long long done, long long total)>& progress);

} // namespace qb::jet
