#include "app/TestGeometry.h"

#include "ui/framework/ItemId.h"

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

QString Quoted(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\');
        if (c == QLatin1Char('\n')) {
            out += QStringLiteral("\\n");
            continue;
        }
        out += c;
    }
    out += QLatin1Char('"');
    return out;
}

QString Box(const QWidget* w)
{
    const QPoint at = w->mapToGlobal(QPoint(0, 0));
    return QStringLiteral("%1 %2 %3 %4").arg(at.x()).arg(at.y()).arg(w->width()).arg(w->height());
}

// Rewrites the file when something it shows may have changed: at most once per
// turn of the event loop, and only when the text differs from what was written.
class GeometryReporter final : public QObject {
public:
    explicit GeometryReporter(QString path) : QObject(qApp), m_path(std::move(path))
    {
        qApp->installEventFilter(this);
        Schedule();
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::EnabledChange:
        case QEvent::WindowTitleChange:
        case QEvent::ParentChange:
            if (object->isWidgetType())
                Schedule();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void Schedule()
    {
        if (m_pending)
            return;
        m_pending = true;
        QTimer::singleShot(0, this, [this] { Write(); });
    }

    void Write()
    {
        m_pending = false;
        const QString text = TestGeometryReportText();
        if (text == m_written)
            return;
        QSaveFile file(m_path);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(text.toUtf8());
        if (file.commit())
            m_written = text;
    }

    QString m_path;
    QString m_written;
    bool m_pending = false;
};

} // namespace

QString TestGeometryReportText()
{
    QString text;
    QMainWindow* main = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || w->windowType() == Qt::ToolTip)
            continue;
        const QString name = w->objectName().isEmpty() ? QStringLiteral("-") : w->objectName();
        text += QStringLiteral("window %1 %2 %3\n").arg(name, Box(w), Quoted(w->windowTitle()));
        if (!main)
            main = qobject_cast<QMainWindow*>(w);
    }
    if (QWidget* panel = main ? main->centralWidget() : nullptr) {
        std::vector<std::pair<int, QWidget*>> items;
        for (QWidget* w : panel->findChildren<QWidget*>()) {
            const int id = ItemIdOf(w);
            if (id >= 0 && w->isVisible())
                items.emplace_back(id, w);
        }
        std::stable_sort(items.begin(), items.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [id, w] : items)
            text += QStringLiteral("item %1 %2 %3\n").arg(id).arg(Box(w)).arg(w->isEnabled() ? 1 : 0);
    }
    return text;
}

void InstallTestGeometryReport()
{
    static QPointer<QObject> installed;
    const QString path = qEnvironmentVariable("TABRINE_TEST_GEOMETRY");
    if (path.isEmpty() || installed || !qApp)
        return;
    installed = new GeometryReporter(path);
}
