#include "core/LineEnds.h"

QString WithStoredLineEnds(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

QString WithShownLineEnds(const QString& text)
{
    return WithStoredLineEnds(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}
