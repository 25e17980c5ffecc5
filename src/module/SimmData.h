#pragma once
// The name cache of one bank of module objects: the user bank (SIMM id 0) or
// one installed ROM SIMM. Names are fetched once (from the module or from the
// configuration cache) and every selector and list that shows an object name
// reads it from here.

#include "core/ObjectKind.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

/// The text a name look-up yields for a kind outside 1 ... 6 or a SIMM that
/// is not installed.
inline constexpr char16_t kNotInstalledName[] = u"(not instld)";

/// Reference-counted names of one bank. Held through TPtr<_SimmData>; only
/// the user-interface thread touches it, so its count is a plain int.
class _SimmData {
public:
    /// The longest name a slot keeps, in UTF-16 units; longer names are cut.
    static constexpr int kMaxNameLength = 16;
    /// The most slots of one kind: counts travel as 14-bit SysEx numbers, so
    /// a larger count (a corrupt cache entry) is cut to this.
    static constexpr int kMaxCount = 16384;

    /// The names of one object kind: count slots, all empty after sizing.
    class SimmNameSet {
    public:
        explicit SimmNameSet(int kind = 0, int count = 0);
        virtual ~SimmNameSet() = default;

        /// Drops every name and makes count empty slots (a negative count: none;
        /// more than kMaxCount: kMaxCount).
        void Resize(int count);
        /// Stores the first 16 units of name (never half a surrogate pair);
        /// an index outside 0 ... count - 1 changes nothing. True when stored.
        bool SetName(int index, const QString& name);
        /// The slot's name; the empty string for an index out of range.
        QString GetName(int index) const;
        int GetKind() const { return m_kind; }
        int GetCount() const { return int(m_names.size()); }

    private:
        int m_kind;
        std::vector<QString> m_names;
    };

    /// Sizes the six sets, kinds 1 ... 6 in this order. For the user bank the
    /// connect code passes 100 arps, 64 setups, 0 demos and 0 riffs.
    _SimmData(int simmId, int presets, int instruments, int arps, int setups, int demos, int riffs,
              std::uint8_t flag);
    _SimmData(const _SimmData&) = delete;
    _SimmData& operator=(const _SimmData&) = delete;
    virtual ~_SimmData() = default;

    /// Stores a name; a kind outside 1 ... 6 or an index out of range
    /// changes nothing. True when stored.
    bool SetName(ObjectKind kind, int index, const QString& name);
    /// The name; empty for an index out of range, "(not instld)" for a kind
    /// outside 1 ... 6.
    QString GetName(ObjectKind kind, int index) const;
    /// The number of slots of a kind; 0 for a kind outside 1 ... 6.
    int GetCount(ObjectKind kind) const;
    /// The set of a kind; nullptr for a kind outside 1 ... 6.
    const SimmNameSet* GetNameSet(ObjectKind kind) const;

    int GetSimmId() const { return m_simmId; }
    std::uint8_t GetFlag() const { return m_flag; }

    // Reference counting as TPtr expects it. The object deletes itself when
    // the last reference goes.
    long AddRef() const { return ++m_refs; }
    long Release() const;
    long RefCount() const { return m_refs; }

private:
    const SimmNameSet* Set(ObjectKind kind) const;
    SimmNameSet* Set(ObjectKind kind);

    mutable long m_refs = 0;
    int m_simmId;
    std::array<SimmNameSet, 6> m_sets;
    std::uint8_t m_flag;
};
