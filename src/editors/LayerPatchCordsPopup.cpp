#include "editors/LayerPatchCordsPopup.h"

#include "ui_LayerPatchCordsPopup.h"

#include "editors/PatchCordRows.h"
#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "module/TriggerSets.h"

#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Each row's items: source menu, destination menu, amount slider.
constexpr int kRowItems[LayerPatchCordsPopup::kCordCount][3] = {
    {1023, 1024, 1027}, {1025, 1026, 1028}, {1029, 1030, 1031}, {1035, 1036, 1037}, {1038, 1039, 1040},
    {1041, 1042, 1043}, {1044, 1045, 1046}, {1047, 1048, 1049}, {1050, 1051, 1052}, {1053, 1054, 1055},
    {1056, 1057, 1058}, {1059, 1060, 1061}, {1068, 1069, 1070}, {1071, 1072, 1073}, {1074, 1075, 1076},
    {1077, 1078, 1079}, {1080, 1081, 1082}, {1083, 1084, 1085}, {1086, 1087, 1088}, {1089, 1090, 1091},
    {1092, 1093, 1094}, {1095, 1096, 1097}, {1101, 1102, 1103}, {1104, 1105, 1106},
};
constexpr int kFirstTooltip = 20261;

} // namespace

LayerPatchCordsPopup::LayerPatchCordsPopup(ControlListener* parent, QWidget* parentWnd)
    : ResizingPopup(QStringLiteral("LayerPatchCords"), kTemplateId, false, parent, parentWnd),
      m_ui(std::make_unique<Ui::LayerPatchCordsPopup>())
{
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Layer Patch Cords"));
    BuildScrollArea();
    InitialisePopup();
    SetOwnTooltipId(kOwnTooltipId);

    BuildPatchCordRows(*this,
                       {.items = kRowItems,
                        .triggers = &GetLayerTriggerSet(),
                        .sources = &GetLayerCordSourceList(),
                        .destinations = &GetLayerCordDestinationList(),
                        .firstParameter = LAYER_CORD0_SRC,
                        .firstTooltip = kFirstTooltip},
                       m_rows.data(), kCordCount);
    ScrollBar()->setValue(0);
    UpdateScrollBar();
}

LayerPatchCordsPopup::~LayerPatchCordsPopup()
{
    DestroyPopup();
    ForgetControls();
}

void LayerPatchCordsPopup::BuildScrollArea()
{
    // The form lays the rows out at their full size; they move, as they are,
    // onto a widget of that size that the scroll area shows.
    m_formSize = size();
    m_contents = new QWidget;
    m_contents->setObjectName(QStringLiteral("rows"));
    m_contents->setFixedSize(m_formSize);
    m_contents->setAutoFillBackground(false);
    const QList<QWidget*> items = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* w : items) {
        const QRect place = w->geometry();
        w->setParent(m_contents);
        w->setGeometry(place);
        w->show();
    }

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrollArea"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scroll->setWidgetResizable(false);
    m_scroll->setWidget(m_contents);
    // The skin painted by the dialog shows through.
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->setAutoFillBackground(false);
    // The rows follow the thumb when it is released, not while it is dragged.
    m_scroll->verticalScrollBar()->setTracking(false);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] { UpdateScrollBar(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_scroll);
    resize(GetMaxTrackSize());
}

QSize LayerPatchCordsPopup::GetMaxTrackSize() const
{
    const QSize rows = ResizingPopup::GetMaxTrackSize();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    QSize most(m_formSize.isEmpty() ? rows.width() : m_formSize.width(), rows.height());
    most.rwidth() += bar;
    if (const QScreen* s = screen())
        most = most.boundedTo(s->availableGeometry().size());
    return most;
}

QScrollBar* LayerPatchCordsPopup::ScrollBar() const
{
    return m_scroll->verticalScrollBar();
}

int LayerPatchCordsPopup::LineStep() const
{
    return std::max(1, ResizingPopup::GetMaxTrackSize().height() / kStepDivisor);
}

void LayerPatchCordsPopup::UpdateScrollBar()
{
    QScrollBar* bar = ScrollBar();
    bar->setSingleStep(LineStep());
    // Always shown; with nothing to scroll it cannot be used.
    bar->setEnabled(bar->maximum() > bar->minimum());
}

void LayerPatchCordsPopup::resizeEvent(QResizeEvent* event)
{
    ResizingPopup::resizeEvent(event);
    UpdateScrollBar();
}
