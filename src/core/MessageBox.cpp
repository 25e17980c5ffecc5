#include "core/MessageBox.h"

#include "core/Logger.h"

#include <mutex>

namespace {

class HeadlessPresenter final : public MessagePresenter {
public:
    int Present(QObject*, const QString& text, const QString&, unsigned type) override
    {
        TLOG(-1, u"Message not shown (no window): %s", text);
        switch (type & msgbox::ButtonsMask) {
        case msgbox::YesNo:
            return msgbox::IdNo;
        case msgbox::YesNoCancel:
        case msgbox::OkCancel:
            return msgbox::IdCancel;
        default:
            return msgbox::IdOk;
        }
    }
};

std::mutex g_lock;
std::shared_ptr<MessagePresenter> g_presenter;

std::shared_ptr<MessagePresenter> Presenter()
{
    std::lock_guard l(g_lock);
    if (!g_presenter)
        g_presenter = std::make_shared<HeadlessPresenter>();
    return g_presenter;
}

} // namespace

void SetMessagePresenter(std::shared_ptr<MessagePresenter> presenter)
{
    std::lock_guard l(g_lock);
    g_presenter = std::move(presenter);
}

int ShowMessageV(QObject* owner, unsigned type, bool log, unsigned stringId, std::span<const FormatArg> args)
{
    QString text = FormatV(LoadResourceString(stringId), args);
    if (text.size() > kMessageTextMax)
        text.truncate(kMessageTextMax);
    if (log)
        CurrentLogger()->Log(-2, "StdAfx", 73, u"%s", text);
    return Presenter()->Present(owner, text, QString::fromUtf16(kProductName), type);
}
