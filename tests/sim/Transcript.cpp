#include "sim/Transcript.h"

#include <QStringList>

namespace sim {

namespace {

int V14(const QByteArray& m, int at)
{
    if (at + 1 >= m.size())
        return 0;
    const int v = (uchar(m[at]) & 0x7F) | ((uchar(m[at + 1]) & 0x7F) << 7);
    return v > 8191 ? v - 16384 : v;
}

QString Ms(SimTime t) { return QString::number(double(t.count()) / 1000.0, 'f', 3); }

} // namespace

std::vector<QByteArray> Transcript::messages(Direction d) const
{
    std::vector<QByteArray> out;
    for (const TranscriptEntry& e : entries_)
        if (e.direction == d && e.kind == EntryKind::Message)
            out.push_back(e.bytes);
    return out;
}

std::vector<TranscriptEntry> Transcript::entries(Direction d) const
{
    std::vector<TranscriptEntry> out;
    for (const TranscriptEntry& e : entries_)
        if (e.direction == d)
            out.push_back(e);
    return out;
}

QString DumpLine(const TranscriptEntry& e)
{
    QString line = QStringLiteral("%1 -> %2 ms %3 %4 [%5]")
                       .arg(Ms(e.sent), Ms(e.arrived),
                            e.direction == Direction::ToModule ? QStringLiteral("host>module") : QStringLiteral("module>host"),
                            QString::fromLatin1(e.bytes.toHex(' ')), e.label);
    if (e.kind == EntryKind::Disconnect)
        line += QStringLiteral(" disconnect");
    else if (e.kind == EntryKind::Reconnect)
        line += QStringLiteral(" reconnect");
    if (!e.note.isEmpty())
        line += QStringLiteral(" (") + e.note + QLatin1Char(')');
    return line;
}

QString Transcript::dump() const
{
    QStringList lines;
    for (const TranscriptEntry& e : entries_)
        lines << DumpLine(e);
    return lines.join(QLatin1Char('\n'));
}

QString Describe(const QByteArray& m)
{
    if (m.isEmpty())
        return QStringLiteral("empty");
    const int status = uchar(m[0]);
    if (status < 0xF0)
        return QStringLiteral("short message %1").arg(status, 2, 16, QLatin1Char('0'));
    if (status != 0xF0)
        return QStringLiteral("system message %1").arg(status, 2, 16, QLatin1Char('0'));
    if (m.size() >= 5 && (uchar(m[1]) == 0x7E || uchar(m[1]) == 0x7F)) {
        if (uchar(m[1]) == 0x7E && uchar(m[3]) == 0x06 && uchar(m[4]) == 0x01)
            return QStringLiteral("identity request");
        if (uchar(m[1]) == 0x7E && uchar(m[3]) == 0x06 && uchar(m[4]) == 0x02)
            return QStringLiteral("identity reply");
        return QStringLiteral("universal %1 %2 %3")
            .arg(uchar(m[1]), 2, 16, QLatin1Char('0'))
            .arg(uchar(m[3]), 2, 16, QLatin1Char('0'))
            .arg(uchar(m[4]), 2, 16, QLatin1Char('0'));
    }
    if (m.size() < 6 || uchar(m[1]) != 0x18 || uchar(m[2]) != 0x0F || uchar(m[4]) != 0x55)
        return QStringLiteral("sysex");
    const int cmd = uchar(m[5]);
    switch (cmd) {
    case 0x01: return QStringLiteral("parameter %1 = %2").arg(V14(m, 7)).arg(V14(m, 9));
    case 0x02: return QStringLiteral("parameter request %1").arg(V14(m, 7));
    case 0x03: return QStringLiteral("parameter range %1: %2..%3 default %4").arg(V14(m, 6)).arg(V14(m, 8)).arg(V14(m, 10)).arg(V14(m, 12));
    case 0x04: return QStringLiteral("parameter range request %1").arg(V14(m, 6));
    case 0x09: return QStringLiteral("hardware configuration");
    case 0x0A: return QStringLiteral("hardware configuration request");
    case 0x70: return QStringLiteral("module error cmd %1 sub %2").arg(V14(m, 6)).arg(V14(m, 8));
    default: return QStringLiteral("command %1").arg(cmd, 2, 16, QLatin1Char('0'));
    }
}

} // namespace sim
