#pragma once
// What the dialog and popup tests share: the application's style over a
// memory settings store and a private data folder, a root listener, and a
// popup made from a Designer form.
#include "RoutingDoubles.h"

#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "core/resources/GuiFont.h"
#include "platform/SettingsStore.h"
#include "support/TestStyle.h"
#include "ui/framework/Popup.h"
#include "ui/framework/RootListener.h"

#include "ui_TestPopup.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        style = std::make_unique<GlobalStyle>();
        StartTestStyle(style.get(), dir);
        InstallGuiFont();
    }
    void TearDown() override
    {
        StopTestStyle(style.get());
        style.reset();
    }
    static void SetTooltips(std::uint32_t mode) { GetGlobalConfigurations().SetDword(EnableTooltips, mode); }

    QTemporaryDir dir;
    std::unique_ptr<GlobalStyle> style;
    RootListener root{nullptr};
};

/// A name-selection-like popup from TestPopup.ui (filter edit 1022, list 1021).
template <class Base>
class FormPopup : public Base {
public:
    FormPopup(const QString& name, ControlListener* parent, QWidget* parentWnd = nullptr)
        : Base(name, 1, false, parent, parentWnd)
    {
        ui.setupUi(this);
        this->InitialisePopup();
    }
    ~FormPopup() override { this->DestroyPopup(); }
    void Refresh() override { ++refreshes; }
    void OnClose() override { ++closes; }
    Ui::TestPopup ui;
    int refreshes = 0;
    int closes = 0;
};

/// An owner that answers the closing question as told and counts the questions.
class TestOwner : public PopupListener {
public:
    explicit TestOwner(bool allow = true) : allow(allow) {}
    bool OnPopupClosing() override
    {
        ++asked;
        return allow;
    }
    bool allow;
    int asked = 0;
};
