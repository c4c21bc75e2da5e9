#include "store/JetText.h"

#include <QRegularExpression>
#include <QStringList>

namespace qb::jet {

QString connectionText(const QString& filePath, const QString& password)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info = False;Mode = ReadWrite;"
                          "Data Source=%1;Jet OLEDB:Database Password=%2")
        .arg(filePath, password);
}

ConnectionText parseConnectionText(const QString& text)
{
    ConnectionText result;
    const QStringList parts = text.split(u';');
    for (const QString& part : parts) {
        const qsizetype eq = part.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = part.left(eq).simplified();
        const QString value = part.mid(eq + 1);
        if (key.compare(u"Data Source", Qt::CaseInsensitive) == 0)
            result.dataSource = value;
        else if (key.compare(u"Jet OLEDB:Database Password", Qt::CaseInsensitive) == 0)
            result.password = value;
    }
    return result;
}

QString translateStatement(const QString& statement)
{
    static const QRegularExpression ddl(QStringLiteral("^\\s*(create|alter)\\s+table\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (!ddl.match(statement).hasMatch())
        return statement;

    static const QRegularExpression counterKey(QStringLiteral("\\bCOUNTER(\\s+PRIMARY\\s+KEY)\\b"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression counter(QStringLiteral("\\bCOUNTER\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression memo(QStringLiteral("\\bmemo\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString out = statement;
    out.replace(counterKey, QStringLiteral("INTEGER\\1 AUTOINCREMENT"));
    out.replace(counter, QStringLiteral("INTEGER"));
    out.replace(memo, QStringLiteral("LONGTEXT"));
    return out;
}

int declaredWidth(const QString& declaredType)
{
    static const QRegularExpression sized(
        QStringLiteral("^\\s*(?:n?var)?n?(?:char|text)\\s*\\(\\s*(\\d+)\\s*\\)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = sized.match(declaredType);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

bool isLongText(const QString& declaredType)
{
    const QString t = declaredType.trimmed().toLower();
    return t == u"longtext" || t == u"memo" || t == u"longchar" || t == u"note";
}

} // namespace qb::jet
