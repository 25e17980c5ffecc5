#include "dump/LayerChooser.h"

namespace {

LayerChooser& Installed()
{
    static LayerChooser chooser;
    return chooser;
}

} // namespace

void SetLayerChooser(LayerChooser chooser)
{
    Installed() = std::move(chooser);
}

std::optional<int> ChooseLayer(const QString& caption)
{
    return ChooseLayer(LayerChooser(), caption);
}

std::optional<int> ChooseLayer(const LayerChooser& given, const QString& caption)
{
    // A copy of the installed one: the question may install another.
    const LayerChooser chooser = given ? given : Installed();
    if (!chooser)
        return std::nullopt;
    const std::optional<int> layer = chooser(caption);
    if (layer && (*layer < 0 || *layer > 3))
        return std::nullopt;
    return layer;
}
