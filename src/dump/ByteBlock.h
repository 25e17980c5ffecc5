#pragma once
// One SysEx message as it travels on the wire (F0 ... F7), held in a growable
// byte array, and the list of them that makes up a dump. Blocks are reference
// counted: the MIDI layer, the dump code and the file layer share them.

#include "core/RefCounted.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class _ByteBlock : public RefCountedObject {
public:
    /// An empty block: no storage, capacity 0, size 0.
    _ByteBlock() = default;
    /// A block holding a copy of bytes (storage exactly their length).
    explicit _ByteBlock(QByteArrayView bytes);
    ~_ByteBlock() override;

    _ByteBlock(const _ByteBlock&) = delete;
    _ByteBlock& operator=(const _ByteBlock&) = delete;

    /// Copies length bytes after the current end. When size + length reaches
    /// or passes the capacity the storage grows to the larger of twice the
    /// capacity and size + length, so an empty block gets exactly length bytes.
    /// Appending nothing changes nothing. False (and nothing changed) when the
    /// size would pass 32 bits.
    bool Append(const void* data, unsigned length);
    bool Append(QByteArrayView bytes);

    /// Frees the storage: capacity and size 0. The block can be filled again.
    void Clear();

    /// The bytes used; null for a block that holds nothing.
    const std::uint8_t* Data() const { return m_data.get(); }
    unsigned Size() const { return m_size; }
    unsigned Capacity() const { return m_capacity; }
    std::span<const std::uint8_t> Bytes() const { return {m_data.get(), m_size}; }
    /// A copy of the bytes used.
    QByteArray ToByteArray() const;

private:
    std::unique_ptr<std::uint8_t[]> m_data;
    unsigned m_capacity = 0;
    unsigned m_size = 0;
};

/// A dump: one complete SysEx message per block, in wire order.
using ByteBlockList = std::vector<TPtr<_ByteBlock>>;

/// A new counted block holding a copy of bytes.
TPtr<_ByteBlock> MakeByteBlock(QByteArrayView bytes);
