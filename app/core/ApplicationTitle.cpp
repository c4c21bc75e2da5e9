#include "app/core/ApplicationTitle.h"

namespace qb {

QString applicationTitle(const QString& executablePath)
{
    const qsizetype slash = std::max(executablePath.lastIndexOf(u'/'), executablePath.lastIndexOf(u'\\'));
    QString name = executablePath.mid(slash + 1);
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    if (name.isEmpty())
        return name;
    return name.left(1) + name.mid(1).toLower();
}

} // namespace qb
