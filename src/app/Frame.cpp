#include "app/Frame.h"

#include "app/Document.h"
#include "app/View.h"

Frame::Frame(Document& document, QWidget* parent) : QMainWindow(parent), m_document(document)
{
    m_view = new View(document, this);
    setCentralWidget(m_view);
    document.SetView(m_view);
}
Frame::~Frame() { m_document.SetView(nullptr); }
void Frame::OnUpdateFrameTitle() { setWindowTitle(QStringLiteral("Tabrine")); }
void Frame::ShowSysEx(const std::uint8_t*, unsigned) {}
