#pragma once
// Message boxes for the dump tests: records every box and answers from a
// script; a box nobody scripted is answered No (or OK).

#include "core/MessageBox.h"
#include "platform/SettingsStore.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <memory>
#include <vector>

struct ShownMessage {
    QString text;
    unsigned type = 0;
};

class RecordingPresenter final : public MessagePresenter {
public:
    int Present(QObject*, const QString& text, const QString&, unsigned type) override
    {
        shown.push_back({text, type});
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return (type & msgbox::ButtonsMask) == msgbox::YesNo ? msgbox::IdNo : msgbox::IdOk;
    }

    std::deque<int> answers;
    std::vector<ShownMessage> shown;
};

/// Installs a fresh recorder (and a memory settings store, so logging reads no
/// file) for one test; uninstalls it afterwards.
class PresenterScope {
public:
    PresenterScope() : presenter(std::make_shared<RecordingPresenter>())
    {
        platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
        SetMessagePresenter(presenter);
    }
    ~PresenterScope() { SetMessagePresenter(nullptr); }
    PresenterScope(const PresenterScope&) = delete;
    PresenterScope& operator=(const PresenterScope&) = delete;

    std::shared_ptr<RecordingPresenter> presenter;
};

/// Bytes from a hex text such as "F0 01 F7".
inline QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}
