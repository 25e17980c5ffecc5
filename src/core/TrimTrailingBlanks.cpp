#include "core/TrimTrailingBlanks.h"

void TrimTrailingBlanks(char16_t* buffer, int n)
{
    if (!buffer)
        return;
    for (int i = n - 1; i >= 0 && buffer[i] == u' '; --i)
        buffer[i] = 0;
}

QString TrimTrailingBlanks(QStringView field)
{
    QString text = field.toString();
    TrimTrailingBlanks(reinterpret_cast<char16_t*>(text.data()), int(text.size()));
    const qsizetype end = text.indexOf(QChar(0));
    if (end >= 0)
        text.truncate(end);
    return text;
}
