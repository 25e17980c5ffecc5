#include "app/View.h"

#include "app/Document.h"
#include "module/Proteus.h"

View::View(Document& document, QWidget* parent)
    : QWidget(parent), RootListener(&document.GetProteus()), m_document(document)
{
}
View::~View() = default;
void View::OnInitialUpdate() {}
void View::OnUpdate() { update(); }
bool View::QueryClose() { return true; }
void View::UpdateChannelRange() {}
void View::GetCurrentPreset(int&, int&) {}
