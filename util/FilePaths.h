#pragma once

#include <QString>

namespace qb {

// Whether `path` names an existing entry that is not a folder. A file that
// another program holds open counts.
bool fileExists(const QString& path);

// The file-name part of a path: what follows its last separator.
QString fileNamePart(const QString& path);

} // namespace qb
