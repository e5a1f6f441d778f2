#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessary {

// A byte string of the library's code page (GB18030) with an explicit length.
// Texts may hold zero bytes (extracted content does).
//
// The representation is one machine word, because a library of a whole drive
// holds a million entries with four or five texts each and most of them are
// empty or short:
//   - the word 0 is the empty text (no allocation);
//   - a word with the low bit set holds up to 7 bytes inline (extensions,
//     short names): byte 0 is (length << 1) | 1, bytes 1..7 the text;
//   - otherwise the word is a pointer to a heap block holding a 32-bit length
//     followed by the bytes.
// Copying a CText copies the bytes; moving is free.
class CText {
public:
    static constexpr std::size_t kMaxInline = 7;
    // The largest length a CText can hold (the block header is 32 bits).
    static constexpr std::size_t kMaxLength = 0xFFFFFFFFu;

    CText() noexcept = default;
    CText(std::string_view bytes) { Assign(bytes.data(), bytes.size()); }
    CText(const char* bytes, std::size_t length) { Assign(bytes, length); }
    CText(const CText& other) { Assign(other.data(), other.size()); }
    CText(CText&& other) noexcept
        : m_bits(other.m_bits)
    {
        other.m_bits = 0;
    }
    ~CText() { Release(); }

    CText& operator=(const CText& other);
    CText& operator=(CText&& other) noexcept;
    CText& operator=(std::string_view bytes)
    {
        Assign(bytes.data(), bytes.size());
        return *this;
    }

    // Replaces the bytes. Throws std::length_error beyond kMaxLength and
    // std::bad_alloc when memory runs out (the old text is then kept).
    void Assign(const char* bytes, std::size_t length);
    // Takes over `length` bytes written by `fill` into a fresh buffer, without
    // an intermediate copy; used by the archive reader and content extraction.
    template <class Fill> void AssignWith(std::size_t length, Fill&& fill)
    {
        char* p = Prepare(length);
        fill(p);
    }
    void Clear() noexcept
    {
        Release();
        m_bits = 0;
    }

    std::size_t size() const noexcept
    {
        if (m_bits == 0)
            return 0;
        if (m_bits & 1u)
            return static_cast<std::size_t>((m_bits & 0xFFu) >> 1);
        std::uint32_t n;
        __builtin_memcpy(&n, reinterpret_cast<const void*>(m_bits), sizeof n);
        return n;
    }
    bool empty() const noexcept { return m_bits == 0; }
    const char* data() const noexcept
    {
        if (m_bits & 1u)
            return reinterpret_cast<const char*>(&m_bits) + 1;
        if (m_bits == 0)
            return "";
        return reinterpret_cast<const char*>(m_bits) + sizeof(std::uint32_t);
    }
    std::string_view view() const noexcept { return { data(), size() }; }
    operator std::string_view() const noexcept { return view(); }
    std::string str() const { return std::string(view()); }

    // Heap bytes owned by this text beyond the word itself (for memory figures).
    std::size_t HeapBytes() const noexcept;

    friend bool operator==(const CText& a, const CText& b) noexcept { return a.view() == b.view(); }
    friend bool operator==(const CText& a, std::string_view b) noexcept { return a.view() == b; }

private:
    char* Prepare(std::size_t length); // releases, allocates, sets length; returns the byte area
    void Release() noexcept;

    std::uintptr_t m_bits = 0;
};

static_assert(sizeof(CText) == sizeof(void*), "a text is one word");

} // namespace tessary
