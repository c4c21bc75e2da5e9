#include "util/gui/Fonts.h"

#include <QFont>
#include <QStringList>

namespace qb {

void substituteFonts()
{
    const QStringList faces{QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), faces);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), faces);
}

QFont programFont()
{
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(16);
    return font;
}

} // namespace qb
