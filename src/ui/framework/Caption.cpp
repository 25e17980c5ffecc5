#include "ui/framework/Caption.h"

QString AccessibleNameFromCaption(const QString& caption)
{
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (i + 1 < caption.size() && caption[i + 1] == u'&') {
                out += u'&';
                ++i;
            }
            continue;
        }
        out += caption[i];
    }
    return out;
}
