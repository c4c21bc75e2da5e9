#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace qb {

// The path of the running executable as the system gives it: raw bytes, which
// need not be valid in the locale (a folder unpacked from an archive made on
// another system). Empty when the system does not tell it.
QByteArray executablePath();

// The folder of the executable at `executable` (raw bytes), with its trailing
// separator, as a path through which the program reaches its files. A folder
// whose name survives the locale's decoding is given by that name. Any other
// is opened once and reached through the process's own handle on it
// (platform::folderByHandle), so that no lossy decoding can send the store
// somewhere else; the handle stays open for the rest of the run.
//
// Empty when the folder cannot be determined or is not an existing folder:
// then the program must not start, since every path it would build would
// point somewhere else.
std::optional<QString> programFolderOf(const QByteArray& executable);

// The folder of this process's own executable, determined once.
const std::optional<QString>& programFolder();

} // namespace qb
