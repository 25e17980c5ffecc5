#pragma once
// A message presenter for tests: records every message and answers OK.
#include "core/MessageBox.h"

#include <QString>

#include <memory>
#include <vector>

struct RecordingPresenter : MessagePresenter {
    std::vector<QString> texts;
    std::vector<QObject*> owners;
    int Present(QObject* owner, const QString& text, const QString&, unsigned) override
    {
        texts.push_back(text);
        owners.push_back(owner);
        return msgbox::IdOk;
    }

    /// Installs a fresh recorder and returns it.
    static std::shared_ptr<RecordingPresenter> Install()
    {
        auto p = std::make_shared<RecordingPresenter>();
        SetMessagePresenter(p);
        return p;
    }
};
