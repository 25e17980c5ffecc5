#pragma once
// LogLines: the lines the log window shows, as a list model that never holds
// more than a fixed number of lines (the oldest go first), so a flood of log
// lines costs a bounded amount of memory and each new line a constant amount
// of work. It also keeps the widest line's width, which the view uses as its
// horizontal extent.

#include <QAbstractListModel>
#include <QSize>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

/// The most lines the log window keeps.
inline constexpr int kLogWindowCapacity = 2000;

class LogLines : public QAbstractListModel {
    Q_OBJECT
public:
    explicit LogLines(int capacity = kLogWindowCapacity, QObject* parent = nullptr);

    /// How wide a line is drawn, in pixels; by default one pixel a character.
    void SetMeasure(std::function<int(const QString&)> measure) { m_measure = std::move(measure); }
    void SetLineHeight(int height) { m_lineHeight = height; }

    /// The lines of a logged text: split at "\n", every "\r" dropped, empty pieces left out.
    static QStringList SplitText(const QString& text);
    /// Adds each line of SplitText(text).
    void AddText(const QString& text);
    /// Adds one line at the end, dropping the first lines beyond the capacity;
    /// widens the extent to the line's width + 10 when it is wider.
    void AddLine(const QString& line);
    void Clear();

    int Count() const { return int(m_lines.size()); }
    const QString& Line(int row) const { return m_lines[std::size_t(row)]; }
    /// Every line, each followed by CR LF (the clipboard text).
    QString AllText() const;
    int Extent() const { return m_extent; }
    int Capacity() const { return m_capacity; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::deque<QString> m_lines;
    int m_capacity;
    int m_extent = 0;
    int m_lineHeight = 16;
    std::function<int(const QString&)> m_measure;
};
