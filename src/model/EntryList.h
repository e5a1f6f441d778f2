#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace tessary {

// An ordered list of entry pointers with O(1) amortised insertion at both
// ends, O(1) random access and O(1) swapping of neighbours. New data items go
// to the head and new sub-categories to the tail, so a plain vector would make
// a scan of a big folder quadratic.
//
// The list does not own what it points to: the category that holds the list
// destroys its entries. 24 bytes, no allocation while empty.
template <class T> class EntryList {
public:
    using value_type = T*;
    using iterator = T**;
    using const_iterator = T* const*;

    EntryList() noexcept = default;
    EntryList(const EntryList&) = delete;
    EntryList& operator=(const EntryList&) = delete;
    EntryList(EntryList&& other) noexcept { Steal(other); }
    EntryList& operator=(EntryList&& other) noexcept
    {
        if (this != &other) {
            std::free(m_buf);
            Steal(other);
        }
        return *this;
    }
    ~EntryList() { std::free(m_buf); }

    std::size_t size() const noexcept { return m_size; }
    std::size_t capacity() const noexcept { return m_cap; }
    bool empty() const noexcept { return m_size == 0; }
    T* operator[](std::size_t i) const noexcept { return m_buf[m_begin + i]; }
    T* front() const noexcept { return m_buf[m_begin]; }
    T* back() const noexcept { return m_buf[m_begin + m_size - 1]; }
    iterator begin() noexcept { return m_buf ? m_buf + m_begin : nullptr; }
    iterator end() noexcept { return begin() + m_size; }
    const_iterator begin() const noexcept { return m_buf ? m_buf + m_begin : nullptr; }
    const_iterator end() const noexcept { return begin() + m_size; }

    void PushBack(T* p)
    {
        if (m_begin + m_size == m_cap)
            Grow(0, 1);
        m_buf[m_begin + m_size++] = p;
    }
    void PushFront(T* p)
    {
        if (m_begin == 0)
            Grow(1, 0);
        m_buf[--m_begin] = p;
        ++m_size;
    }
    // Inserts before position `pos` (0..size()).
    void Insert(std::size_t pos, T* p)
    {
        if (pos == 0)
            return PushFront(p);
        PushBack(p);
        T** b = begin();
        std::rotate(b + pos, b + m_size - 1, b + m_size);
    }
    // Removes position `pos` and returns the pointer that was there.
    T* EraseAt(std::size_t pos) noexcept
    {
        T** b = begin();
        T* p = b[pos];
        if (pos < m_size / 2) {
            std::memmove(b + 1, b, pos * sizeof(T*));
            ++m_begin;
        } else {
            std::memmove(b + pos, b + pos + 1, (m_size - pos - 1) * sizeof(T*));
        }
        --m_size;
        if (m_size == 0)
            m_begin = m_cap / 2;
        return p;
    }
    // Position of `p`, or size() when it is not in the list.
    std::size_t IndexOf(const T* p) const noexcept
    {
        for (std::size_t i = 0; i < m_size; ++i)
            if (m_buf[m_begin + i] == p)
                return i;
        return m_size;
    }
    // Removes `p`; returns false when it is not in the list.
    bool Remove(const T* p) noexcept
    {
        std::size_t i = IndexOf(p);
        if (i == m_size)
            return false;
        EraseAt(i);
        return true;
    }
    void Swap(std::size_t i, std::size_t j) noexcept { std::swap(m_buf[m_begin + i], m_buf[m_begin + j]); }
    // Removes every pointer for which `pred(p)` holds, keeping the order of
    // the others, in one pass. Returns how many went.
    template <class Pred> std::size_t RemoveIf(Pred&& pred)
    {
        if (m_size == 0)
            return 0;
        T** b = begin();
        T** kept = std::remove_if(b, b + m_size, pred);
        const auto removed = static_cast<std::uint32_t>((b + m_size) - kept);
        m_size -= removed;
        if (m_size == 0)
            m_begin = m_cap / 2;
        return removed;
    }
    // Forgets every pointer (does not destroy the entries).
    void Clear() noexcept
    {
        std::free(m_buf);
        m_buf = nullptr;
        m_begin = m_size = m_cap = 0;
    }
    // Makes room for `n` more elements at the tail (used by the reader, which
    // knows each list's count but trusts it only as far as the input goes).
    void ReserveBack(std::size_t n)
    {
        if (m_cap - m_begin - m_size < n)
            Grow(0, n);
    }

private:
    void Steal(EntryList& o) noexcept
    {
        m_buf = o.m_buf;
        m_begin = o.m_begin;
        m_size = o.m_size;
        m_cap = o.m_cap;
        o.m_buf = nullptr;
        o.m_begin = o.m_size = o.m_cap = 0;
    }
    // Reallocates with at least `front` free slots at the head and `back` at the tail.
    void Grow(std::size_t front, std::size_t back)
    {
        std::size_t need = std::size_t(m_size) + front + back;
        std::size_t cap = std::max<std::size_t>(need + need / 2, 4);
        if (cap > 0xFFFFFFFFu)
            throw std::length_error("list too long");
        std::size_t headroom = front ? (cap - m_size) / 2 : std::min<std::size_t>(m_begin, cap - need);
        if (front && headroom < front)
            headroom = front;
        auto* nb = static_cast<T**>(std::malloc(cap * sizeof(T*)));
        if (!nb)
            throw std::bad_alloc();
        if (m_size)
            std::memcpy(nb + headroom, m_buf + m_begin, m_size * sizeof(T*));
        std::free(m_buf);
        m_buf = nb;
        m_begin = static_cast<std::uint32_t>(headroom);
        m_cap = static_cast<std::uint32_t>(cap);
    }

    T** m_buf = nullptr;
    std::uint32_t m_begin = 0;
    std::uint32_t m_size = 0;
    std::uint32_t m_cap = 0;
};

} // namespace tessary
