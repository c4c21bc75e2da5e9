#pragma once

#include <QString>

namespace qb {

// The title the program goes by when it sets none: the executable's file name
// cut before its first ".", first character as it is, the rest in lower case
// ("MyTool.Beta.exe" gives "Mytool").
QString applicationTitle(const QString& executablePath);

} // namespace qb
