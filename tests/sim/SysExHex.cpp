#include "sim/SysExHex.h"

#include <QtGlobal>

#include <string>

namespace sim {

namespace {

int Nibble(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

QByteArray Hex(std::string_view text)
{
    QByteArray out;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '\n' || c == '\t' || c == '\r') {
            if (high >= 0)
                qFatal("sim::Hex: odd digit in \"%s\"", std::string(text).c_str());
            continue;
        }
        const int n = Nibble(c);
        if (n < 0)
            qFatal("sim::Hex: bad character '%c' in \"%s\"", c, std::string(text).c_str());
        if (high < 0) {
            high = n;
        } else {
            out.append(char(high << 4 | n));
            high = -1;
        }
    }
    if (high >= 0)
        qFatal("sim::Hex: odd digit in \"%s\"", std::string(text).c_str());
    return out;
}

QString ToHex(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex(' ')); }

std::vector<QByteArray> SplitSysEx(const QByteArray& bytes)
{
    std::vector<QByteArray> out;
    qsizetype start = -1;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (uchar(bytes[i]) == 0xF0)
            start = i;
        else if (uchar(bytes[i]) == 0xF7 && start >= 0) {
            out.push_back(bytes.mid(start, i - start + 1));
            start = -1;
        }
    }
    return out;
}

} // namespace sim
