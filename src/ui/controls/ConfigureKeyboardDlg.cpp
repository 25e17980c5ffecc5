#include "ui/controls/ConfigureKeyboardDlg.h"

#include "module/ValueFormats.h"
#include "ui/framework/CommandIds.h"
#include "ui/framework/ItemId.h"

#include <QGridLayout>
#include <QPushButton>

namespace {
constexpr int kChords[6][4] = {{7, 12, 16, 0}, {7, 16, 23, 0}, {7, 16, 21, 0},
                               {7, 16, 23, 26}, {10, 16, 26, 28}, {7, 12, 19, 0}};
const char* const kChordCaptions[6] = {"&C", "C&7", "C&6", "C&9", "C&11", "C&5"};
constexpr int kChordItems[6] = {1226, 1228, 1230, 1231, 1232, 1233};
} // namespace

std::array<int, 4> ConfigureKeyboardDlg::Chord(int button)
{
    std::array<int, 4> notes{};
    if (button >= 0 && button < 6)
        for (int i = 0; i < 4; ++i)
            notes[size_t(i)] = kChords[button][i];
    return notes;
}

void ConfigureKeyboardDlg::RemoveRepeatedNotes(int notes[4])
{
    for (int i = 0; i < 3; ++i)
        if (notes[i] != 0)
            for (int j = i + 1; j < 4; ++j)
                if (notes[j] == notes[i])
                    notes[j] = 0;
}

ConfigureKeyboardDlg::ConfigureKeyboardDlg(const QString& title, ControlListener* parent, QWidget* parentWnd)
    : ModalDialog(title, 172, parent, parentWnd)
{
    setObjectName(QStringLiteral("ConfigureKeyboardDlg"));
    setWindowTitle(title);
    auto make = [this](int index, const char* name, int id, int value, int minimum, int maximum) {
        ParamRecord& r = m_records[size_t(index)];
        r = ParamRecord(QString::fromLatin1(name), id, value);
        r.minimum = minimum;
        r.maximum = maximum;
        r.defaultValue = value;
        r.readOnly = false;
    };
    make(0, "CHORD_DIATONIC", 9180, 0, 0, 1);
    for (int i = 0; i < 4; ++i)
        make(1 + i, QStringLiteral("CHORD_NOTE_%1").arg(i + 1).toLatin1().constData(), 9181 + i, 0, 0, 72);
    make(5, "REPEAT_SPEED", 9185, 60, 30, 180);
    make(6, "SENDCLOCK", 9186, 0, 0, 1);
    for (int i = 0; i < 6; ++i)
        make(7 + i, QStringLiteral("MACRO_%1").arg(i + 1).toLatin1().constData(), 9187 + i, 0, 0, 1);
    for (ParamRecord& r : m_records)
        AddParameter(&r);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setSpacing(4);
    auto item = [](QWidget* w, int id) { w->setObjectName(ItemName(id)); };
    m_diatonic = new LitButtonCtrl(this, this);
    m_diatonic->SetCaption(QStringLiteral("&Diatonic"));
    m_diatonic->setMinimumSize(150, 22);
    item(m_diatonic, 1225);
    grid->addWidget(m_diatonic, 0, 0);
    m_clock = new LitButtonCtrl(this, this);
    m_clock->SetCaption(QStringLiteral("&Send Clock"));
    m_clock->setMinimumSize(150, 22);
    item(m_clock, 1227);
    grid->addWidget(m_clock, 0, 1);
    for (int i = 0; i < 4; ++i) {
        auto* s = new TrackerCtrl(this, this);
        s->SetCaption(QStringLiteral("Chord Note &%1").arg(i + 1));
        s->setMinimumSize(150, 36);
        item(s, 1221 + i);
        grid->addWidget(s, 1 + i / 2, i % 2);
        m_chordSliders[size_t(i)] = s;
    }
    m_repeat = new TrackerCtrl(this, this);
    m_repeat->SetCaption(QStringLiteral("&Repeat Speed"));
    m_repeat->setMinimumSize(150, 36);
    item(m_repeat, 1220);
    grid->addWidget(m_repeat, 3, 0, 1, 2);
    auto* buttons = new QGridLayout;
    for (int i = 0; i < 6; ++i) {
        auto* b = new ButtonCtrl(this, this);
        b->SetCaption(QString::fromLatin1(kChordCaptions[i]));
        b->setMinimumSize(40, 22);
        item(b, kChordItems[i]);
        buttons->addWidget(b, 0, i);
        m_chordButtons[size_t(i)] = b;
    }
    grid->addLayout(buttons, 4, 0, 1, 2);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(ItemName(cmd::IdOk));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(ItemName(cmd::IdCancel));
    grid->addWidget(ok, 5, 0);
    grid->addWidget(cancel, 5, 1);
    InitialiseDialog();
    SetOwnTooltipId(20930);

    // Bind every control to its record, no trigger set, and register it.
    m_diatonic->BindParameter(nullptr, 0, &Record(9180));
    m_diatonic->Setup(3, 20931);
    AddControl(m_diatonic);
    for (int i = 0; i < 4; ++i) {
        m_chordSliders[size_t(i)]->BindParameter(nullptr, vf::KeyOffsetOrNone, &Record(9181 + i));
        m_chordSliders[size_t(i)]->Setup(20932 + i, false, false, true, 4);
        AddControl(m_chordSliders[size_t(i)]);
    }
    m_repeat->BindParameter(nullptr, vf::Tempo, &Record(9185));
    m_repeat->Setup(20936, false, false, true, 4);
    AddControl(m_repeat);
    m_clock->BindParameter(nullptr, 0, &Record(9186));
    m_clock->Setup(3, 20943);
    AddControl(m_clock);
    for (int i = 0; i < 6; ++i) {
        m_chordButtons[size_t(i)]->BindParameter(nullptr, 0, &Record(9187 + i));
        m_chordButtons[size_t(i)]->Setup(20937 + i);
        AddControl(m_chordButtons[size_t(i)]);
    }
}

ConfigureKeyboardDlg::~ConfigureKeyboardDlg()
{
    ForgetControls();
}

void ConfigureKeyboardDlg::showEvent(QShowEvent* event)
{
    if (!m_loaded) {
        // The caller's values into the records, each keeping its old value as the previous one.
        m_loaded = true;
        auto load = [this](int id, int value) {
            ParamRecord& r = Record(id);
            r.previousValue = r.value;
            r.value = value;
        };
        load(9180, values.diatonic ? 1 : 0);
        for (int i = 0; i < 4; ++i)
            load(9181 + i, values.chordNotes[i]);
        load(9185, values.repeatSpeed);
        load(9186, values.sendClock ? 1 : 0);
    }
    ModalDialog::showEvent(event);
}

bool ConfigureKeyboardDlg::EditParameter(ParamRecord* record)
{
    if (record && record->id >= Macro1Id && record->id < Macro1Id + 6) {
        const std::array<int, 4> chord = Chord(record->id - Macro1Id);
        for (int i = 0; i < 4; ++i) {
            m_chordSliders[size_t(i)]->SetValue(chord[size_t(i)]);
            m_chordSliders[size_t(i)]->LayOut();
        }
    }
    return true;
}

void ConfigureKeyboardDlg::OnOK()
{
    values.diatonic = Record(9180).value != 0;
    for (int i = 0; i < 4; ++i)
        values.chordNotes[i] = Record(9181 + i).value;
    values.repeatSpeed = Record(9185).value;
    values.sendClock = Record(9186).value != 0;
    RemoveRepeatedNotes(values.chordNotes);
    ModalDialog::OnOK();
}
