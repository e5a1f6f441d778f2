#include "Text.h"

#include "SmallPool.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace tessary {

CText& CText::operator=(const CText& other)
{
    if (this != &other)
        Assign(other.data(), other.size());
    return *this;
}

CText& CText::operator=(CText&& other) noexcept
{
    if (this != &other) {
        Release();
        m_bits = other.m_bits;
        other.m_bits = 0;
    }
    return *this;
}

void CText::Assign(const char* bytes, std::size_t length)
{
    if (length == 0) {
        Clear();
        return;
    }
    // `bytes` may point into this very text; build the new word first.
    if (length <= kMaxInline) {
        std::uintptr_t bits = (length << 1) | 1u;
        std::memcpy(reinterpret_cast<char*>(&bits) + 1, bytes, length);
        Release();
        m_bits = bits;
        return;
    }
    if (length > kMaxLength)
        throw std::length_error("text longer than 4 GiB - 1 bytes");
    auto* block = static_cast<char*>(PoolAlloc(sizeof(std::uint32_t) + length));
    auto n = static_cast<std::uint32_t>(length);
    std::memcpy(block, &n, sizeof n);
    std::memcpy(block + sizeof n, bytes, length);
    Release();
    m_bits = reinterpret_cast<std::uintptr_t>(block);
}

char* CText::Prepare(std::size_t length)
{
    if (length > kMaxLength)
        throw std::length_error("text longer than 4 GiB - 1 bytes");
    if (length <= kMaxInline) {
        Release();
        if (length == 0) {
            m_bits = 0;
            return reinterpret_cast<char*>(&m_bits) + 1; // nothing is written
        }
        m_bits = (length << 1) | 1u;
        return reinterpret_cast<char*>(&m_bits) + 1;
    }
    auto* block = static_cast<char*>(PoolAlloc(sizeof(std::uint32_t) + length));
    auto n = static_cast<std::uint32_t>(length);
    std::memcpy(block, &n, sizeof n);
    Release();
    m_bits = reinterpret_cast<std::uintptr_t>(block);
    return block + sizeof n;
}

void CText::Release() noexcept
{
    if (m_bits != 0 && (m_bits & 1u) == 0)
        PoolFree(reinterpret_cast<void*>(m_bits), sizeof(std::uint32_t) + size());
}

std::size_t CText::HeapBytes() const noexcept
{
    if (m_bits == 0 || (m_bits & 1u))
        return 0;
    return PoolBlockBytes(sizeof(std::uint32_t) + size());
}

} // namespace tessary
