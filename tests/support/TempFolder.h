#pragma once

#include "tests/support/Printers.h"
#include <QString>

#include <QTemporaryDir>

namespace qb::test {

// A fresh folder for one test, removed afterwards. path() ends with the
// platform separator, like the program's own folder.
class TempFolder
{
public:
    TempFolder();
    QString path() const;
    QString file(const QString& name) const { return path() + name; }
    // Writes bytes to a file below the folder (creating subfolders); returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
};

} // namespace qb::test
