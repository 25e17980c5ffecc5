#include "ui/controls/LogLines.h"

LogLines::LogLines(int capacity, QObject* parent) : QAbstractListModel(parent), m_capacity(capacity < 1 ? 1 : capacity)
{
}

QStringList LogLines::SplitText(const QString& text)
{
    QString clean = text;
    clean.remove(u'\r');
    return clean.split(u'\n', Qt::SkipEmptyParts);
}

void LogLines::AddText(const QString& text)
{
    for (const QString& piece : SplitText(text))
        AddLine(piece);
}

void LogLines::AddLine(const QString& line)
{
    const int width = (m_measure ? m_measure(line) : int(line.size())) + 10;
    const int row = int(m_lines.size());
    beginInsertRows(QModelIndex(), row, row);
    m_lines.push_back(line);
    endInsertRows();
    if (width > m_extent)
        m_extent = width;
    const int excess = int(m_lines.size()) - m_capacity;
    if (excess > 0) {
        beginRemoveRows(QModelIndex(), 0, excess - 1);
        m_lines.erase(m_lines.begin(), m_lines.begin() + excess);
        endRemoveRows();
    }
}

void LogLines::Clear()
{
    beginResetModel();
    m_lines.clear();
    endResetModel();
}

QString LogLines::AllText() const
{
    QString out;
    qsizetype size = 0;
    for (const QString& l : m_lines)
        size += l.size() + 2;
    out.reserve(size);
    for (const QString& l : m_lines) {
        out += l;
        out += u"\r\n";
    }
    return out;
}

int LogLines::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant LogLines::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= int(m_lines.size()))
        return {};
    if (role == Qt::DisplayRole)
        return m_lines[std::size_t(index.row())];
    if (role == Qt::SizeHintRole)
        return QSize(m_extent, m_lineHeight);
    return {};
}
