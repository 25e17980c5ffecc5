#include "module/SimmData.h"

_SimmData::SimmNameSet::SimmNameSet(int kind, int count) : m_kind(kind)
{
    Resize(count);
}

void _SimmData::SimmNameSet::Resize(int count)
{
    // A count comes from a module reply or a cache file; a negative one
    // means nothing is there, and a corrupt huge one must not take all memory.
    std::vector<QString>(size_t(qBound(0, count, kMaxCount))).swap(m_names);
}

bool _SimmData::SimmNameSet::SetName(int index, const QString& name)
{
    if (index < 0 || index >= GetCount())
        return false;
    qsizetype length = qMin(name.size(), qsizetype(kMaxNameLength));
    // Cutting between the halves of a surrogate pair would leave a broken
    // character at the end of the stored name.
    if (length > 0 && length < name.size() && name.at(length - 1).isHighSurrogate())
        --length;
    m_names[size_t(index)] = name.left(length);
    return true;
}

QString _SimmData::SimmNameSet::GetName(int index) const
{
    if (index < 0 || index >= GetCount())
        return QString();
    return m_names[size_t(index)];
}

_SimmData::_SimmData(int simmId, int presets, int instruments, int arps, int setups, int demos, int riffs,
                     std::uint8_t flag)
    : m_simmId(simmId),
      m_sets{SimmNameSet(OBJECT_PRESET, presets), SimmNameSet(OBJECT_INSTRUMENT, instruments),
             SimmNameSet(OBJECT_ARP, arps), SimmNameSet(OBJECT_SETUP, setups), SimmNameSet(OBJECT_DEMO, demos),
             SimmNameSet(OBJECT_RIFF, riffs)},
      m_flag(flag)
{
}

const _SimmData::SimmNameSet* _SimmData::Set(ObjectKind kind) const
{
    if (kind < OBJECT_PRESET || kind > OBJECT_RIFF)
        return nullptr;
    return &m_sets[size_t(kind - OBJECT_PRESET)];
}

_SimmData::SimmNameSet* _SimmData::Set(ObjectKind kind)
{
    return const_cast<SimmNameSet*>(static_cast<const _SimmData*>(this)->Set(kind));
}

bool _SimmData::SetName(ObjectKind kind, int index, const QString& name)
{
    SimmNameSet* set = Set(kind);
    return set && set->SetName(index, name);
}

QString _SimmData::GetName(ObjectKind kind, int index) const
{
    const SimmNameSet* set = Set(kind);
    return set ? set->GetName(index) : QString::fromUtf16(kNotInstalledName);
}

int _SimmData::GetCount(ObjectKind kind) const
{
    const SimmNameSet* set = Set(kind);
    return set ? set->GetCount() : 0;
}

const _SimmData::SimmNameSet* _SimmData::GetNameSet(ObjectKind kind) const
{
    return Set(kind);
}

long _SimmData::Release() const
{
    const long left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}
