#pragma once
// SetupBuffer: the module's multisetup (the setup edit buffer: master
// settings, controller assignments, effects, master arpeggiator, per-channel
// settings, beat triggers and parts) held as one setup dump (SetupDumpLayout).
// It answers the setup parameters from that message instead of asking the
// module one by one, writes edited values back into it, and loads, saves,
// uploads, restores and stores it. The connection owns one (Proteus::
// GetSetupBuffer) and registers it as its SetupParameters, so that
// MULTIMODE_PRESET is read from it and every distributed change reaches it.
//
//     SetupBuffer* setup = proteus.GetSetupBuffer();
//     ParamRecord volume(u"MULTIMODE_VOLUME", MULTIMODE_VOLUME, 0);
//     if (setup->GetParameter(3, &volume))        // channel 3's volume, no traffic
//         ...
//     volume.value = 100;
//     setup->SetParameter(3, &volume);            // into the held dump only
//     setup->SaveEditBuffer();                    // the whole setup to the module
//
// Where a value lies is found through the dump's own counts. A value the dump
// has no room for (a section with fewer values than this program knows) reads
// as 0 and ignores writes; a channel, trigger or part that is not in the dump,
// and an id the setup does not hold, is refused (false, record unchanged). A
// dump that does not hold together is never taken: the one held stays.

#include "core/RefCounted.h"
#include "dump/ByteBlock.h"
#include "module/ModuleLink.h"

#include <QByteArray>
#include <QString>

class ParamRecord;

class SetupBuffer : public ModuleLink::SetupParameters {
public:
    /// Empty; 32 channels when owner has CAP_32_CHANNELS, else 16.
    explicit SetupBuffer(ModuleLink* owner);
    ~SetupBuffer() override;
    SetupBuffer(const SetupBuffer&) = delete;
    SetupBuffer& operator=(const SetupBuffer&) = delete;

    /// The connection is up: the channel count follows CAP_32_CHANNELS, then
    /// the module's edit buffer is loaded (LoadEditBuffer).
    virtual void OnConnect();
    /// A distributed change: when the dump is valid, the record's value is
    /// stored for the channel that is the current MULTIMODE_BASIC_CHANNEL.
    void OnParameterChanged(ParamRecord* record) override;
    /// The connection is gone: the dump is dropped.
    virtual void OnDisconnect();

    /// Whether a dump is held and holds together (SetupDumpLayout). Each
    /// pointer may be null; both are set to 0 first, then to the dump's beat
    /// trigger and part counts. A failure is logged with the dump's address
    /// and length, except the empty buffer of a module that gives no setup
    /// dumps (no CAP_SETUP_DUMPS): there is nothing to hold and nothing wrong,
    /// so every use of the buffer quietly finds no dump.
    bool Validate(int* triggerCount, int* partCount) const;

    /// Reads the value of record's parameter (and its SIMM id where the setup
    /// keeps one: MULTIMODE_PRESET, MASTER_ARP_PATTERN, MASTER_BEATS_RIFF_NDX)
    /// into record, the old ones going into the previous fields. channel
    /// serves the per-channel parameters (0 ... channels-1); beat triggers and
    /// parts take the connection's current layer; other parameters ignore it
    /// (-1 by custom). False, record unchanged, when the dump is not valid,
    /// does not hold the id, or has no such channel, trigger or part.
    bool GetParameter(int channel, ParamRecord* record) override;
    /// Writes record's value (and SIMM id) into the dump; nothing is sent. The
    /// same refusals as GetParameter, and a value that does not fit 14 bits or
    /// a name character of 0x80 or more (not 7-bit: the dump could not be sent).
    bool SetParameter(int channel, ParamRecord* record);

    /// Fetches the module's setup edit buffer (in TestUI mode from
    /// "SetupDump.sysex" in the TestData folder beside the program). True when
    /// a valid dump is now held; its counts then become the buffer's.
    bool LoadEditBuffer();
    /// Uploads the held dump into the module's edit buffer (the module keeps
    /// its device id). False when no valid dump is held or the upload fails.
    bool SaveEditBuffer();
    /// Reads a setup .sysex file and uploads it (the module keeps its device
    /// id); when that worked (or TestUI is on) the file's dump is held and
    /// SETUP_RELOAD_NOTIFIER is edited, so every control refreshes. A read or
    /// upload failure, or a file whose dump does not hold together, keeps the
    /// dump held before; so does a file that is not exactly one setup dump,
    /// which the user is told.
    bool LoadFile(const QString& path);
    /// Writes the held dump as a .sysex file titled with the setup's name.
    bool SaveFile(const QString& path);
    /// Recalls stored setup `setup` into the module's edit buffer, reloads it
    /// and edits SETUP_RELOAD_NOTIFIER.
    bool RestoreSetup(int setup);
    /// Stores the module's edit buffer as setup `setup`.
    bool StoreSetup(int setup);

    /// The 16 name characters of a valid dump; empty otherwise.
    QString GetSetupName() const;

    /// 16 or 32 by the capability, then the count of the last loaded dump.
    int GetChannelCount() const { return m_channelCount; }
    int GetPartCount() const { return m_partCount; }
    int GetTriggerCount() const { return m_triggerCount; }
    /// A copy of the held dump as one block; null when none is held.
    TPtr<_ByteBlock> GetDump() const;
    /// Takes dump as the held one when it holds together (the counts become
    /// the buffer's); otherwise false, logged as Validate would, and the held
    /// dump stays.
    bool SetDump(const TPtr<_ByteBlock>& dump);

private:
    // Validate for any bytes: the held dump, or one offered to be held.
    static bool ValidateDump(const QByteArray& dump, int* triggerCount, int* partCount);
    bool Access(int channel, ParamRecord* record, bool write);
    // No dump is held because the module gives none (no CAP_SETUP_DUMPS): the
    // setup's values are not kept here, which is no fault to report.
    bool NoDumpToHold() const;

    ModuleLink* m_owner;
    int m_channelCount = 16;
    int m_partCount = 0;
    int m_triggerCount = 0;
    QByteArray m_dump; // F0 ... F7, empty when none is held
};
