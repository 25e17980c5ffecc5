#pragma once
// The MIDI transport's buffers and the locked queue they travel in.
//
// A _MidiBuffer is one 1024-byte SysEx buffer with its header. It moves
// between a port's pool, the set handed to the driver (the backend), the
// receive queues and the owner; it is only ever held through TPtr.

#include "core/RefCounted.h"
#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

/// The header of one buffer, as the driver sees it.
struct MidiHeader {
    std::uint8_t* data = nullptr;     ///< the buffer's own data area
    std::uint32_t bufferLength = 0;   ///< bytes usable (input) or to send (output)
    std::uint32_t bytesRecorded = 0;  ///< bytes the driver filled in (input)
    std::uint32_t flags = 0;
};

/// One SysEx buffer: header, reference count and 1024 data bytes in one block.
/// The count starts at 0; the last Release sets the header's lengths to 0 and
/// frees the block.
class _MidiBuffer {
public:
    static constexpr std::uint32_t kSize = 1024;

    _MidiBuffer();
    _MidiBuffer(const _MidiBuffer&) = delete;
    _MidiBuffer& operator=(const _MidiBuffer&) = delete;

    long AddRef();
    /// Drops one reference; at 0 clears the lengths and frees the buffer.
    /// Returns the new count.
    long Release();
    long RefCount() const { return m_refs.load(std::memory_order_acquire); }

    MidiHeader header;

    std::uint8_t* Data() { return m_data; }
    const std::uint8_t* Data() const { return m_data; }
    std::uint32_t BytesRecorded() const { return header.bytesRecorded; }

    /// Buffers alive in the process (diagnostics and tests).
    static long LiveCount();

private:
    ~_MidiBuffer();

    std::atomic<long> m_refs{0};
    std::uint8_t m_data[kSize];
};

/// A locked first-in first-out queue. Put signals waiters only when asked to
/// (or when always-signal is set); WaitForItem wakes on such a signal.
template <class T>
class TQueue {
public:
    TQueue() = default;
    TQueue(const TQueue&) = delete;
    TQueue& operator=(const TQueue&) = delete;
    virtual ~TQueue() { Clear(); }

    /// Appends a copy of item; wakes a waiter when signal or always-signal is set.
    void Put(T item, bool signal)
    {
        bool wake;
        {
            std::lock_guard lock(m_lock);
            m_items.push_back(std::move(item));
            wake = signal || m_alwaysSignal;
        }
        if (wake)
            m_event.notify_all();
    }

    /// Moves the oldest item into out; false when the queue is empty.
    bool Get(T& out)
    {
        std::lock_guard lock(m_lock);
        if (m_items.empty())
            return false;
        out = std::move(m_items.front());
        m_items.pop_front();
        return true;
    }

    /// Waits up to timeout for the queue to hold an item (woken by signalled
    /// puts); true when it holds one. The wait goes through clock (null: the
    /// program's clock), so under a test's virtual clock it takes virtual time.
    bool WaitForItem(std::chrono::milliseconds timeout, platform::Clock* clock = nullptr)
    {
        std::unique_lock lock(m_lock);
        const auto hasItem = [this] { return !m_items.empty(); };
        if (!hasItem())
            (clock ? *clock : platform::CurrentClock()).WaitFor(lock, m_event, timeout.count(), hasItem);
        return hasItem();
    }

    std::size_t Size() const
    {
        std::lock_guard lock(m_lock);
        return m_items.size();
    }

    /// Empties the queue; the items are destroyed outside the lock.
    void Clear()
    {
        std::deque<T> old;
        {
            std::lock_guard lock(m_lock);
            old.swap(m_items);
        }
    }

    void SetAlwaysSignal(bool always)
    {
        std::lock_guard lock(m_lock);
        m_alwaysSignal = always;
    }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_event;
    bool m_alwaysSignal = false;
    std::deque<T> m_items;
};
