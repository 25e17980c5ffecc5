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
    if (!Installed())
        return std::nullopt;
    const std::optional<int> layer = Installed()(caption);
    if (layer && (*layer < 0 || *layer > 3))
        return std::nullopt;
    return layer;
}
