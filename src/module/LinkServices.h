#pragma once
// The replaceable services the code above the module protocol (the dumps,
// files, caches and backup) uses through a module link: the clock of its
// pauses, the settings store of its cached ROM counts, the presenter of its
// messages, the store of file properties and the chooser a renumbered layer
// section asks. The connection gives its link the record it was given; an
// empty member stands for the process-wide service, looked up at each use.

#include "platform/Clock.h"
#include "platform/FileProperties.h"
#include "platform/SettingsStore.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class MessagePresenter;

/// Shows the layer chooser with caption; the chosen layer 0-3, or nullopt for Cancel.
using LayerChooser = std::function<std::optional<int>(const QString& caption)>;

struct LinkServices {
    std::shared_ptr<platform::Clock> clock;                      ///< null: platform::CurrentClock()
    std::shared_ptr<platform::SettingsStore> settings;           ///< null: platform::CurrentSettingsStore()
    std::shared_ptr<MessagePresenter> presenter;                 ///< null: the installed presenter
    std::shared_ptr<platform::FilePropertyStore> fileProperties; ///< null: platform::CurrentFilePropertyStore()
    LayerChooser chooseLayer;                                    ///< empty: the chooser SetLayerChooser installed

    /// The clock to use now.
    platform::Clock& Clock() const { return clock ? *clock : platform::CurrentClock(); }
};
