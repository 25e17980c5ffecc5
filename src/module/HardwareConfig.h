#pragma once
// What the module said about itself: its identity reply and its ROM
// configuration, one SimmSlot per ROM SIMM and one for the user bank.

#include <QString>

#include <array>
#include <cstdint>
#include <span>

/// One ROM SIMM, or the user bank (SIMM id 0): its id and object counts.
struct SimmSlot {
    int simmId = 0;
    int presets = 0;
    int instruments = 0;
    int arps = 0;
    int demos = 0;
    int setups = 0;
    int riffs = 0;
    std::uint8_t flag = 0;  ///< 1 for a ROM SIMM, 0 for the user bank
};

class HardwareConfig {
public:
    /// Room for this many SIMM slots; a module reporting more keeps the first eight.
    static constexpr int kMaxSimms = 8;
    /// The revision text keeps at most this many characters.
    static constexpr int kRevisionLength = 4;

    HardwareConfig() = default;
    virtual ~HardwareConfig() = default;

    int manufacturer = 0;   ///< MIDI manufacturer id of the identity reply (0x18)
    int family = 0;         ///< 516 for every accepted module
    int familyMember = 0;   ///< model code, the key of the MODULE_NAME list

    /// The module's software version text, for example "2.26".
    const QString& GetRevision() const { return m_revision; }
    /// Keeps the first four characters of revision.
    void SetRevision(const QString& revision);

    /// The number of valid slots, 0 ... 8.
    int GetSimmCount() const { return m_simmCount; }
    /// The valid slots, in the order they were added.
    std::span<const SimmSlot> GetSimms() const { return {m_simms.data(), size_t(m_simmCount)}; }
    /// The slot with this SIMM id; nullptr when there is none.
    const SimmSlot* FindSimm(int simmId) const;

    /// Copies slot into the next free place unless a slot with the same SIMM
    /// id is present or all eight places are taken. True when added.
    bool AddSimm(const SimmSlot& slot);
    /// Replaces the slots by the first eight of list (as given, duplicates
    /// included, the way the hardware configuration reply lists them).
    void SetSimms(std::span<const SimmSlot> list);
    /// No slots.
    void ClearSimms();

private:
    QString m_revision;
    int m_simmCount = 0;
    std::array<SimmSlot, kMaxSimms> m_simms{};
};
