#include "Category.h"
#include "Datum.h"
#include "SearchCriteria.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessary {

namespace {

inline bool IsAsciiLetter(unsigned c) noexcept { return (c | 0x20u) - 'a' < 26u; }

// Length of the GB18030 character that starts at `p`, with `rest` bytes left
// (at least 1). A lead byte whose character is cut off by the end counts as
// far as the text goes.
inline std::size_t CharLength(const unsigned char* p, std::size_t rest) noexcept
{
    unsigned c = p[0];
    if (c < 0x81 || c == 0xFF || rest < 2)
        return 1;
    if (rest >= 4 && p[1] - 0x30u < 10u && p[2] - 0x81u < 0x7Eu && p[3] - 0x30u < 10u)
        return 4;
    return 2;
}

// Length of `text` up to its first zero byte.
inline std::size_t TextLength(std::string_view text) noexcept
{
    const void* z = text.empty() ? nullptr : std::memchr(text.data(), 0, text.size());
    return z ? static_cast<std::size_t>(static_cast<const char*>(z) - text.data()) : text.size();
}

// Walks character boundaries of a field forward, so that deciding whether
// each of a rising series of positions starts a character costs O(field)
// in total.
class BoundaryWalker {
public:
    BoundaryWalker(const unsigned char* text, std::size_t length) noexcept : m_text(text), m_length(length) {}

    // True when `pos` starts a character. Positions must not decrease
    // between calls.
    bool IsBoundary(std::size_t pos) noexcept
    {
        while (m_next < pos) {
#if defined(__SSE2__)
            // Runs of single-byte characters go 16 at a time.
            while (m_next + 16 <= pos) {
                __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_text + m_next));
                if (_mm_movemask_epi8(v) != 0)
                    break;
                m_next += 16;
            }
            if (m_next >= pos)
                break;
#endif
            m_next += CharLength(m_text + m_next, m_length - m_next);
        }
        return m_next == pos;
    }

private:
    const unsigned char* m_text;
    std::size_t m_length;
    std::size_t m_next = 0; // the first boundary not yet passed
};

} // namespace

CSearchCriteria::CSearchCriteria()
{
    auto now = static_cast<Time32>(std::time(nullptr));
    m_timeLower = now;
    m_timeUpper = now;
}

CKeywordPattern::CKeywordPattern(std::string_view keyword, bool caseSensitive) noexcept
    : m_key(reinterpret_cast<const unsigned char*>(keyword.data())),
      m_len(TextLength(keyword)),
      m_caseSensitive(caseSensitive)
{
    if (m_len == 0)
        return;
    m_first = m_key[0];
    m_last = m_key[m_len - 1];
    if (caseSensitive)
        return;
    // The first byte always starts a character. The last one folds only when
    // it is a character of its own, not the tail of a multi-byte one.
    if (IsAsciiLetter(m_first))
        m_firstMask = 0x20;
    std::size_t j = 0, lastStart = 0;
    while (j < m_len) {
        lastStart = j;
        j += CharLength(m_key + j, m_len - j);
    }
    if (lastStart == m_len - 1 && IsAsciiLetter(m_last))
        m_lastMask = 0x20;
    m_first |= m_firstMask;
    m_last |= m_lastMask;
}

bool CKeywordPattern::MatchesAt(const unsigned char* p) const noexcept
{
    if (m_caseSensitive)
        return std::memcmp(p, m_key, m_len) == 0;
    // The field's characters line up with the keyword's as long as the bytes
    // agree, so the keyword's own structure tells which bytes may fold.
    std::size_t j = 0;
    while (j < m_len) {
        unsigned k = m_key[j];
        if (k >= 0x81 && k != 0xFF) {
            std::size_t n = CharLength(m_key + j, m_len - j);
            for (std::size_t e = j + n; j < e; ++j)
                if (p[j] != m_key[j])
                    return false;
        } else {
            unsigned f = p[j];
            if (f != k && !(IsAsciiLetter(k) && (f | 0x20u) == (k | 0x20u)))
                return false;
            ++j;
        }
    }
    return true;
}

std::size_t CKeywordPattern::Search(std::string_view field) const noexcept
{
    if (m_len == 0)
        return 0;
    const std::size_t n = TextLength(field);
    if (n < m_len)
        return npos;
    const auto* s = reinterpret_cast<const unsigned char*>(field.data());
    const std::size_t lastPos = n - m_len; // the last position a match can start at
    const std::size_t tail = m_len - 1;
    BoundaryWalker walker(s, n);
    std::size_t i = 0;

#if defined(__SSE2__)
    // Candidates are the positions whose first and last byte fit; only those
    // are checked for a character boundary and compared in full.
    const __m128i first = _mm_set1_epi8(static_cast<char>(m_first));
    const __m128i firstMask = _mm_set1_epi8(static_cast<char>(m_firstMask));
    const __m128i last = _mm_set1_epi8(static_cast<char>(m_last));
    const __m128i lastMask = _mm_set1_epi8(static_cast<char>(m_lastMask));
    for (; i + 15 <= lastPos; i += 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + tail));
        __m128i eq = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, firstMask), first),
                                   _mm_cmpeq_epi8(_mm_or_si128(b, lastMask), last));
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(eq));
        while (bits) {
            std::size_t pos = i + static_cast<std::size_t>(__builtin_ctz(bits));
            bits &= bits - 1;
            if (walker.IsBoundary(pos) && MatchesAt(s + pos))
                return pos;
        }
    }
#endif
    for (; i <= lastPos; ++i) {
        if ((s[i] | m_firstMask) != m_first || (s[i + tail] | m_lastMask) != m_last)
            continue;
        if (walker.IsBoundary(i) && MatchesAt(s + i))
            return i;
    }
    return npos;
}

bool CKeywordPattern::Find(std::string_view field) const noexcept { return Search(field) != npos; }

CSearchMatcher::CSearchMatcher(const CSearchCriteria& criteria) noexcept
    : m_c(criteria),
      m_name(criteria.m_strName.view(), criteria.m_bNameCase),
      m_extension(criteria.m_strExtension.view(), criteria.m_bExtensionCase),
      m_remark(criteria.m_strRemark.view(), criteria.m_bRemarkCase),
      m_content(criteria.m_strContent.view(), criteria.m_bContentCase)
{
}

bool CSearchMatcher::Matches(const CDatum& d) const noexcept
{
    // An empty keyword or an inactive bound can never decide: it is true in
    // AND mode and false in OR mode. So only the active tests are evaluated,
    // and the first one that agrees with the mode (true for OR, false for
    // AND) decides.
    const bool orMode = m_c.m_bOr;
#define TESSARY_TEST(active, result)                                                                                   \
    if (active) {                                                                                                      \
        if ((result) == orMode)                                                                                        \
            return orMode;                                                                                             \
    }
    TESSARY_TEST(!m_c.m_strName.empty(), m_name.Find(d.m_strName.view()))
    TESSARY_TEST(!m_c.m_strExtension.empty(), m_extension.Find(d.m_strExtension.view()))
    TESSARY_TEST(!m_c.m_strRemark.empty(), m_remark.Find(d.m_strRemark.view()))
    TESSARY_TEST(m_c.m_bSizeLower, d.m_dwSize > m_c.m_dwSizeLower)
    TESSARY_TEST(m_c.m_bSizeUpper, d.m_dwSize < m_c.m_dwSizeUpper)
    TESSARY_TEST(m_c.m_bTimeUpper, d.m_timeModified < m_c.m_timeUpper)
    TESSARY_TEST(m_c.m_bTimeLower, d.m_timeModified > m_c.m_timeLower)
    TESSARY_TEST(!m_c.m_strContent.empty(), m_content.Find(d.m_strContent.view()))
#undef TESSARY_TEST
    return !orMode;
}

CDatum* CDatum::Match(const CSearchCriteria& criteria, std::size_t)
{
    return CSearchMatcher(criteria).Matches(*this) ? this : nullptr;
}

void CCategory::CollectMatches(const CSearchCriteria& criteria, std::vector<CDatum*>& results) const
{
    const CSearchMatcher matcher(criteria);
    const std::size_t before = results.size();

    // Visit depth first, each category's sub-categories before its own data
    // items, appending matches in visiting order; an explicit stack keeps deep
    // trees off the call stack. Every match is meant to go to the head of the
    // list, so the new part is reversed and moved to the front at the end:
    // one linear pass instead of an insertion at the head per match.
    struct Frame {
        const CCategory* category;
        std::size_t next;
    };
    std::vector<Frame> stack{{this, 0}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next < f.category->m_subCategories.size()) {
            const CCategory* sub = f.category->m_subCategories[f.next++];
            stack.push_back({sub, 0});
            continue;
        }
        const DatumList& data = f.category->m_data;
        const std::size_t count = data.size();
        for (std::size_t i = 0; i < count; ++i) {
            if (i + 8 < count)
                __builtin_prefetch(data[i + 8]);
            if (matcher.Matches(*data[i]))
                results.push_back(data[i]);
        }
        stack.pop_back();
    }

    std::reverse(results.begin() + static_cast<std::ptrdiff_t>(before), results.end());
    std::rotate(results.begin(), results.begin() + static_cast<std::ptrdiff_t>(before), results.end());
}

} // namespace tessary
