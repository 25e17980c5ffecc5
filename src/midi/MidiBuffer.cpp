#include "midi/MidiBuffer.h"

#include <cstring>

namespace {
std::atomic<long> g_liveBuffers{0};
}

_MidiBuffer::_MidiBuffer()
{
    header = MidiHeader{};
    header.data = m_data;
    header.bufferLength = kSize;
    std::memset(m_data, 0, sizeof m_data);
    g_liveBuffers.fetch_add(1, std::memory_order_relaxed);
}

_MidiBuffer::~_MidiBuffer()
{
    g_liveBuffers.fetch_sub(1, std::memory_order_relaxed);
}

long _MidiBuffer::AddRef()
{
    return m_refs.fetch_add(1, std::memory_order_relaxed) + 1;
}

long _MidiBuffer::Release()
{
    const long left = m_refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) {
        header.bufferLength = 0;
        header.bytesRecorded = 0;
        delete this;
    }
    return left;
}

long _MidiBuffer::LiveCount()
{
    return g_liveBuffers.load(std::memory_order_relaxed);
}
