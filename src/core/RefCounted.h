#pragma once
// Intrusive reference counting shared by records that several owners hold or
// that cross between the MIDI thread and the user-interface thread.

#include <atomic>
#include <cstdint>
#include <utility>

/// Base of every counted record: the count lives in the object and starts at 0;
/// a new object is owned only once a TPtr takes it.
class RefCountedObject {
public:
    RefCountedObject() = default;
    RefCountedObject(const RefCountedObject&) : m_refs(0) {}
    RefCountedObject& operator=(const RefCountedObject&) { return *this; }
    virtual ~RefCountedObject() = default;

    /// Adds one reference; returns the new count.
    long AddRef() const { return m_refs.fetch_add(1, std::memory_order_relaxed) + 1; }
    /// Drops one reference; at 0 the object deletes itself. Returns the new count.
    long Release() const
    {
        const long left = m_refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            delete this;
        return left;
    }
    /// The current count (for tests and diagnostics only).
    long RefCount() const { return m_refs.load(std::memory_order_acquire); }

private:
    mutable std::atomic<long> m_refs{0};
};

/// Smart pointer over a counted object. Every copy holds its own reference;
/// assignment takes the new reference before it drops the old one, so assigning
/// an object reachable only through the old one is safe.
template <class T>
class TPtr {
public:
    TPtr() = default;
    TPtr(T* object) { Assign(object); }
    TPtr(const TPtr& other) { Assign(other.m_p); }
    TPtr(TPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    template <class U>
    TPtr(const TPtr<U>& other) { Assign(other.get()); }
    virtual ~TPtr() { Assign(nullptr); }

    TPtr& operator=(T* object) { Assign(object); return *this; }
    TPtr& operator=(const TPtr& other) { Assign(other.m_p); return *this; }
    TPtr& operator=(TPtr&& other) noexcept
    {
        if (this != &other) {
            T* old = std::exchange(m_p, std::exchange(other.m_p, nullptr));
            if (old)
                old->Release();
        }
        return *this;
    }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    bool operator==(const TPtr& other) const { return m_p == other.m_p; }
    bool operator==(const T* other) const { return m_p == other; }

private:
    void Assign(T* object)
    {
        if (object == m_p)
            return;
        if (object)
            object->AddRef();
        T* old = std::exchange(m_p, object);
        if (old)
            old->Release();
    }

    T* m_p = nullptr;
};
