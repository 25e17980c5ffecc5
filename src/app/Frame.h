#pragma once
// Frame: the main window around the main panel. Fixed size, its position kept
// in the configuration, its title showing the configuration and the
// connection state, a status bar with menu prompts and the last SysEx sent.
// It carries the main menu and the main window's keys.

#include <QMainWindow>

#include <cstdint>

class Document;
class QLabel;
class View;

class Frame : public QMainWindow {
    Q_OBJECT
public:
    explicit Frame(Document& document, QWidget* parent = nullptr);
    ~Frame() override;

    /// Builds the title from the configuration name and the connection state.
    void OnUpdateFrameTitle();
    /// Shows the bytes of a SysEx message sent to the module in the status bar.
    void ShowSysEx(const std::uint8_t* data, unsigned length);

    View* GetView() const { return m_view; }
    Document& GetDocument() const { return m_document; }

private:
    Document& m_document;
    View* m_view = nullptr;
    QLabel* m_sysExPane = nullptr;
};
