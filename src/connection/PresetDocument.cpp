#include "connection/PresetDocument.h"

#include "core/MessageBox.h"
#include "core/XMLDocument.h"
#include "module/ParameterIds.h"
#include "module/StackedProgress.h"

#include <vector>

namespace {

constexpr char16_t kRootText[] = u"<?xml version='1.0' ?><ProteusSettings></ProteusSettings>";
constexpr int kLayers = 4;
constexpr int kErrorLevel = -2;
/// String-table id of "Failed to %s with %s".
constexpr unsigned kFailedWith = 156;

int StepsOf(Proteus& proteus)
{
    return proteus.PresetParameters.Count() + proteus.PresetArpParameters.Count() +
           kLayers * proteus.LayerParameters.Count();
}

/// Selects layer on the module through the shared LAYER_SELECT record.
bool SelectLayer(Proteus& proteus, ParamRecord* layerSelect, int layer)
{
    if (!layerSelect)
        return false;
    layerSelect->previousValue = layerSelect->value;
    layerSelect->value = layer;
    return proteus.ParameterEdit(layerSelect);
}

/// Asks the module for every record of records; false (and the user told)
/// at the first one that does not come.
bool RequestAll(Proteus& proteus, StackedProgress& progress, ParameterCache& records)
{
    for (auto& [id, record] : records) {
        progress.Step();
        if (!proteus.ParameterRequest(&record)) {
            ShowMessageWith(proteus.Presenter(), nullptr, msgbox::Ok | msgbox::IconError, true, kFailedWith,
                        QStringLiteral("save the preset document"),
                        QStringLiteral("no answer from the module for %1").arg(record.name));
            return false;
        }
    }
    return true;
}

/// The LAYER children of preset with their layer numbers; false when one is
/// no element or has no layer number 0 to 3.
bool LayerElements(const XMLElement& preset, std::vector<std::pair<int, XMLElement>>& out)
{
    std::vector<XMLNode> children;
    preset.GetChildNodes(children);
    for (const XMLNode& child : children) {
        if (child.GetNodeType() != XMLNodeElement || child.GetNodeName() != QLatin1String("LAYER"))
            continue;
        const XMLElement layer(child);
        bool ok = false;
        const int id = layer.GetAttribute(u"ID").trimmed().toInt(&ok);
        if (!ok || id < 0 || id >= kLayers)
            return false;
        out.emplace_back(id, layer);
    }
    return true;
}

} // namespace

bool SavePresetDocument(Proteus& proteus, const QString& path, const OleProps& properties)
{
    StackedProgress progress(&proteus, true, 0, StepsOf(proteus), u"Saving Preset");
    XMLDocument document;
    if (!document.Create())
        return document.ReportError(u"Failed to create PRESET document", kErrorLevel);
    if (!document.LoadXML(kRootText))
        return document.ReportError(u"Failed to load PRESET document", kErrorLevel);
    XMLElement root = document.GetDocumentElement();
    if (root.IsNull())
        return document.ReportError(u"Failed to get root element of PRESET document", kErrorLevel);

    XMLElement preset = document.CreateElement(u"PRESET");
    if (preset.IsNull())
        return document.ReportError(u"Failed to create PRESET element of PRESET document", kErrorLevel);
    if (!root.AppendChild(preset))
        return document.ReportError(u"Failed to append PRESET element in PRESET document", kErrorLevel);
    if (!RequestAll(proteus, progress, proteus.PresetParameters))
        return false;
    if (!proteus.WriteParameterElements(proteus.PresetParameters, preset, false))
        return document.ReportError(u"Failed to convert PRESET parameters in PRESET document", kErrorLevel);

    XMLElement arp = document.CreateElement(u"PRESETARP");
    if (arp.IsNull())
        return document.ReportError(u"Failed to create PRESET ARP in PRESET document", kErrorLevel);
    if (!root.AppendChild(arp))
        return document.ReportError(u"Failed to append PRESET ARP in PRESET document", kErrorLevel);
    if (!RequestAll(proteus, progress, proteus.PresetArpParameters))
        return false;
    if (!proteus.WriteParameterElements(proteus.PresetArpParameters, arp, false))
        return document.ReportError(u"Failed to convert PRESET ARP parameters in PRESET document", kErrorLevel);

    ParamRecord* layerSelect = proteus.FindParameter(LAYER_SELECT);
    const int shownLayer = layerSelect ? layerSelect->value : 0;
    bool layersOk = true;
    for (int i = 0; i < kLayers && layersOk; ++i) {
        XMLElement layer = document.CreateElement(u"LAYER");
        if (layer.IsNull())
            return document.ReportError(u"Failed to create LAYER in PRESET document", kErrorLevel);
        if (!preset.AppendChild(layer))
            return document.ReportError(u"Failed to append LAYER in PRESET document", kErrorLevel);
        if (!layer.SetAttribute(u"ID", i))
            return document.ReportError(u"Failed to set LAYER ID in PRESET document", kErrorLevel);
        // Every value of a layer must be that layer's: a layer the module
        // did not select would be written with another layer's values.
        if (!SelectLayer(proteus, layerSelect, i)) {
            ShowMessageWith(proteus.Presenter(), nullptr, msgbox::Ok | msgbox::IconError, true, kFailedWith,
                        QStringLiteral("save the preset document"),
                        QStringLiteral("no layer %1 selected on the module").arg(i + 1));
            layersOk = false;
            break;
        }
        layersOk = RequestAll(proteus, progress, proteus.LayerParameters);
        if (layersOk && !proteus.WriteParameterElements(proteus.LayerParameters, layer, false))
            return document.ReportError(u"Failed to convert LAYER parameters in PRESET document", kErrorLevel);
    }
    SelectLayer(proteus, layerSelect, shownLayer);
    if (!layersOk)
        return false;

    XMLElement tooltip = document.CreateElement(u"TOOLTIP");
    if (tooltip.IsNull())
        return document.ReportError(u"Failed to create TOOLTIP element of PRESET document", kErrorLevel);
    if (!preset.AppendChild(tooltip))
        return document.ReportError(u"Failed to append TOOLTIP element in PRESET document", kErrorLevel);
    tooltip.SetText(properties.comments);

    QString reason;
    if (!document.Save(path, &reason)) {
        ShowMessageWith(proteus.Presenter(), nullptr, msgbox::Ok | msgbox::IconError, true, kFailedWith,
                    QStringLiteral("save PRESET document %1").arg(path), reason);
        return false;
    }
    return proteus.WriteOleProps(path, properties);
}

bool LoadPresetDocument(Proteus& proteus, const Proteus::ParameterEditor& editor, const QString& path,
                        OleProps& properties)
{
    XMLDocument document;
    if (!document.Create())
        return document.ReportError(u"Failed to create PRESET document", kErrorLevel);
    if (!document.Load(path))
        return document.ReportError(u"Failed to load PRESET document", kErrorLevel);
    XMLElement root = document.GetDocumentElement();
    if (root.IsNull() || root.GetNodeName() != QLatin1String("ProteusSettings"))
        return document.ReportError(u"Failed to get root element of PRESET document", kErrorLevel);
    const XMLElement preset(root.SelectSingleNode(u"PRESET"));
    if (preset.IsNull())
        return document.ReportError(u"Failed to select PRESET element in PRESET document", kErrorLevel);
    const XMLElement arp(root.SelectSingleNode(u"PRESETARP"));
    if (arp.IsNull())
        return document.ReportError(u"Failed to select PRESET ARP element in PRESET document", kErrorLevel);
    // The layers are checked before anything is sent, so a document that
    // cannot be read to its end changes nothing on the module.
    std::vector<std::pair<int, XMLElement>> layers;
    if (!LayerElements(preset, layers))
        return document.ReportError(u"Failed to get LAYERS in PRESET document", kErrorLevel);

    StackedProgress progress(&proteus, true, 0, StepsOf(proteus), u"Loading Preset");
    if (!proteus.ReadParameterElements(progress, editor, proteus.PresetParameters, preset, false))
        return document.ReportError(u"Failed to convert PRESET parameters in PRESET document", kErrorLevel);
    if (!proteus.ReadParameterElements(progress, editor, proteus.PresetArpParameters, arp, false))
        return document.ReportError(u"Failed to convert ARP PRESET parameters in PRESET document", kErrorLevel);

    ParamRecord* layerSelect = proteus.FindParameter(LAYER_SELECT);
    const int shownLayer = layerSelect ? layerSelect->value : 0;
    for (const auto& [id, element] : layers) {
        if (!SelectLayer(proteus, layerSelect, id)) {
            // The values of another layer must not land on the one shown.
            SelectLayer(proteus, layerSelect, shownLayer);
            return document.ReportError(u"Failed to convert LAYER in PRESET document", kErrorLevel);
        }
        if (!proteus.ReadParameterElements(progress, editor, proteus.LayerParameters, element, false))
            return document.ReportError(u"Failed to convert LAYER in PRESET document", kErrorLevel);
    }
    SelectLayer(proteus, layerSelect, shownLayer);

    const XMLElement tooltip(preset.SelectSingleNode(u"TOOLTIP"));
    properties.comments = tooltip.IsNull() ? QString() : tooltip.GetText().trimmed();
    return true;
}

bool Proteus::SavePresetDocument(const QString& path, const OleProps& properties)
{
    return ::SavePresetDocument(*this, path, properties);
}

bool Proteus::LoadPresetDocument(const ParameterEditor& editor, const QString& path, OleProps& properties)
{
    return ::LoadPresetDocument(*this, editor, path, properties);
}
