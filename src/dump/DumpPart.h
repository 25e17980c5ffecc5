#pragma once
// DumpPart: the base of the dump classes (transfers, files, caches, key-map
// collection, edit-buffer save, backup). Each works over the module link it
// is given and keeps nothing of its own between calls: what a connection
// remembers is in the link's state, so a part is made for one call,
//
//     PresetTransfer(link).DownloadPreset(2, 0, -1, -1, false, blocks);
//
// A dump is a ByteBlockList: one complete SysEx message (F0 ... F7) per
// block, in wire order. Every decoder of the dump classes checks a block's length before
// it reads a fixed offset and refuses a block that is too short, so a
// damaged file or reply is reported and nothing is sent or stored.

#include "module/Capabilities.h"
#include "module/ModuleLink.h"
#include "module/ParamRecord.h"
#include "module/ProteusData.h"

#include <QString>

class MessagePresenter;

class DumpPart {
public:
    explicit DumpPart(ModuleLink& link);

protected:
    /// The link's services: its clock, settings store, presenter, file-property
    /// store and layer chooser.
    const LinkServices& Services() const { return m_link.GetLinkServices(); }
    /// The presenter of this link's messages (null: the installed one).
    MessagePresenter* Presenter() const { return Services().presenter.get(); }

    ModuleLink& m_link;
    ProteusData& m_data;
    ModuleLink::LinkState& m_state;
};

/// Why an upload would refuse a dump before sending a byte of it: the
/// operation its message names and the reason; both empty when the dump
/// holds together. Each upload runs its own check first, and a restore
/// runs them all on every file before it sends anything.
struct DumpProblem {
    QString operation;
    QString reason;
    explicit operator bool() const { return !reason.isEmpty(); }
};
