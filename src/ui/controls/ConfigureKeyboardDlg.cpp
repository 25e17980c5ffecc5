#include "ui/controls/ConfigureKeyboardDlg.h"

#include "ui_ConfigureKeyboardDlg.h"

#include "module/ValueFormats.h"
#include "ui/framework/CommandIds.h"
#include "ui/framework/ItemId.h"


namespace {
constexpr int kChords[6][4] = {{7, 12, 16, 0}, {7, 16, 23, 0}, {7, 16, 21, 0},
                               {7, 16, 23, 26}, {10, 16, 26, 28}, {7, 12, 19, 0}};
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
    : ModalDialog(title, 172, parent, parentWnd), m_ui(std::make_unique<Ui::ConfigureKeyboardDlg>())
{
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

    m_ui->setupUi(this);
    setWindowTitle(title);
    m_diatonic = ItemAs<LitButtonCtrl>(1225);
    m_clock = ItemAs<LitButtonCtrl>(1227);
    for (int i = 0; i < 4; ++i)
        m_chordSliders[size_t(i)] = ItemAs<TrackerCtrl>(1221 + i);
    m_repeat = ItemAs<TrackerCtrl>(1220);
    for (int i = 0; i < 6; ++i)
        m_chordButtons[size_t(i)] = ItemAs<ButtonCtrl>(kChordItems[i]);
    m_diatonic->SetOwner(this);
    m_clock->SetOwner(this);
    m_repeat->SetOwner(this);
    for (TrackerCtrl* s : m_chordSliders)
        s->SetOwner(this);
    for (ButtonCtrl* b : m_chordButtons)
        b->SetOwner(this);
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
