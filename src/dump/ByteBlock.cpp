#include "dump/ByteBlock.h"

#include <algorithm>
#include <cstring>
#include <limits>

_ByteBlock::_ByteBlock(QByteArrayView bytes)
{
    Append(bytes);
}

_ByteBlock::~_ByteBlock()
{
    Clear();
}

bool _ByteBlock::Append(const void* data, unsigned length)
{
    if (length == 0)
        return true;
    if (length > std::numeric_limits<unsigned>::max() - m_size)
        return false;
    const unsigned needed = m_size + length;
    if (needed >= m_capacity) {
        // Doubling keeps appending run by run linear; the first append of an
        // empty block takes exactly what it needs (twice 0 is smaller).
        const std::uint64_t doubled = std::uint64_t(m_capacity) * 2;
        const unsigned grown = unsigned(std::min<std::uint64_t>(
            std::max<std::uint64_t>(doubled, needed), std::numeric_limits<unsigned>::max()));
        auto storage = std::make_unique<std::uint8_t[]>(grown);
        if (m_size)
            std::memcpy(storage.get(), m_data.get(), m_size);
        m_data = std::move(storage);
        m_capacity = grown;
    }
    std::memcpy(m_data.get() + m_size, data, length);
    m_size = needed;
    return true;
}

bool _ByteBlock::Append(QByteArrayView bytes)
{
    if (bytes.size() > qsizetype(std::numeric_limits<unsigned>::max()))
        return false;
    return Append(bytes.data(), unsigned(bytes.size()));
}

void _ByteBlock::Clear()
{
    m_data.reset();
    m_capacity = 0;
    m_size = 0;
}

QByteArray _ByteBlock::ToByteArray() const
{
    return QByteArray(reinterpret_cast<const char*>(m_data.get()), qsizetype(m_size));
}

TPtr<_ByteBlock> MakeByteBlock(QByteArrayView bytes)
{
    return TPtr<_ByteBlock>(new _ByteBlock(bytes));
}
