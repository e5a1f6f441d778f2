#include "Category.h"
#include "Datum.h"
#include "EntryWalk.h"
#include "SearchCriteria.h"
#include "TextCodec.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessary {

namespace {

inline bool IsAsciiLetter(unsigned c) noexcept
{
    return (c | 0x20u) - 'a' < 26u;
}

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

inline bool IsLeadByte(unsigned c) noexcept
{
    return c - 0x81u < 0x7Eu;
}
inline bool IsDigitByte(unsigned c) noexcept
{
    return c - 0x30u < 10u;
}

// Decides whether positions of a field start a character. Positions must
// not decrease between calls.
//
// Most answers come from the bytes just before the position: a byte that is
// neither a lead byte (0x81-0xFE) nor a digit always ends a character (it is
// a single-byte character or the trail of a two-byte one; digits may be the
// second byte of a four-byte character). So a position after such a byte is
// a boundary, and a position after a run of k lead-range bytes that follows
// such a byte is one exactly when k is even (the run is read in pairs). Only
// when that does not decide (a digit before the run, or a very long run) is
// the field walked character by character from the last known boundary,
// which costs O(field) over all calls.
class BoundaryWalker {
public:
    BoundaryWalker(const unsigned char* text, std::size_t length) noexcept
        : m_text(text)
        , m_length(length)
    {
    }

    bool IsBoundary(std::size_t pos) noexcept
    {
        if (pos == 0)
            return true;
        unsigned prev = m_text[pos - 1];
        if (!IsLeadByte(prev)) {
            if (!IsDigitByte(prev))
                return true;
        } else {
            std::size_t run = 1;
            while (run < kMaxRun && run < pos && IsLeadByte(m_text[pos - 1 - run]))
                ++run;
            if (run == pos || (run < kMaxRun && !IsDigitByte(m_text[pos - 1 - run])))
                return run % 2 == 0;
        }
        return Walk(pos);
    }

private:
    static constexpr std::size_t kMaxRun = 64;

    bool Walk(std::size_t pos) noexcept
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

    const unsigned char* m_text;
    std::size_t m_length;
    std::size_t m_next = 0; // a boundary at or before the next position asked, or just past the last one
};

#if defined(__SSE2__)
struct ScanVectors {
    __m128i first, firstMask, last, lastMask;
};

// True when bytes `a` and `b` lie on the same 4 KiB page, so that memory up
// to `b` is readable whenever `a` is.
inline bool SamePage(const unsigned char* a, const unsigned char* b) noexcept
{
    return (reinterpret_cast<std::uintptr_t>(a) >> 12) == (reinterpret_cast<std::uintptr_t>(b) >> 12);
}

// Candidate starts among the first 32 positions of a short field (bit k:
// position k), and in `zeros` the zero bytes among them. The loads may run
// past the end of the field, but never onto another page (the caller checks
// with SamePage), so they cannot fault; the caller ignores the bits of
// positions past the field. Exempt from the address and thread sanitizers,
// which cannot know that the surplus bytes are never used.
__attribute__((no_sanitize_address, no_sanitize("thread"))) unsigned ShortFieldCandidates(
    const unsigned char* s, std::size_t tail, const ScanVectors& v, unsigned& zeros) noexcept
{
    const __m128i zero = _mm_setzero_si128();
    __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
    __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + tail));
    __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + tail + 16));
    auto mask = [](__m128i x) { return static_cast<unsigned>(_mm_movemask_epi8(x)); };
    unsigned f = mask(_mm_cmpeq_epi8(_mm_or_si128(a0, v.firstMask), v.first))
        | mask(_mm_cmpeq_epi8(_mm_or_si128(a1, v.firstMask), v.first)) << 16;
    unsigned l = mask(_mm_cmpeq_epi8(_mm_or_si128(b0, v.lastMask), v.last))
        | mask(_mm_cmpeq_epi8(_mm_or_si128(b1, v.lastMask), v.last)) << 16;
    zeros = mask(_mm_cmpeq_epi8(a0, zero)) | mask(_mm_cmpeq_epi8(a1, zero)) << 16;
    return f & l;
}
#endif

} // namespace

CSearchCriteria::CSearchCriteria()
{
    auto now = static_cast<Time32>(std::time(nullptr));
    m_timeLower = now;
    m_timeUpper = now;
}

CKeywordPattern::CKeywordPattern(
    std::string_view keyword, bool caseSensitive, KeywordEncoding encoding) noexcept
    : m_key(reinterpret_cast<const unsigned char*>(keyword.data()))
    , m_len(TextLength(keyword))
    , m_caseSensitive(caseSensitive)
    , m_utf8(encoding == KeywordEncoding::Utf8)
{
    if (m_len == 0)
        return;
    m_first = m_key[0];
    m_last = m_key[m_len - 1];
    if (caseSensitive)
        return;
    // The first byte always starts a character. The last one folds only when
    // it is a character of its own, not the tail of a multi-byte one; in
    // UTF-8 the bytes of multi-byte characters are never letters.
    if (IsAsciiLetter(m_first))
        m_firstMask = 0x20;
    std::size_t lastStart = m_len - 1;
    if (!m_utf8) {
        std::size_t j = 0;
        while (j < m_len) {
            lastStart = j;
            j += CharLength(m_key + j, m_len - j);
        }
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
    if (m_utf8) {
        // Bytes of multi-byte characters are 0x80 and above, never letters.
        for (std::size_t j = 0; j < m_len; ++j) {
            unsigned k = m_key[j], f = p[j];
            if (f != k && !(IsAsciiLetter(k) && (f | 0x20u) == (k | 0x20u)))
                return false;
        }
        return true;
    }
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
    // The field ends at its first zero byte. Rather than measure it first
    // (a second pass over a large content), the scan stops at the first zero
    // it meets among the possible starts; a match that would run over a zero
    // fails the comparison anyway, since the keyword holds none.
    const std::size_t size = field.size();
    if (size < m_len)
        return npos;
    const auto* s = reinterpret_cast<const unsigned char*>(field.data());
    const std::size_t lastPos = size - m_len; // the last position a match can start at
    const std::size_t tail = m_len - 1;
    BoundaryWalker walker(s, size);
    // A UTF-8 character starts at any byte but a continuation byte, so no
    // walk is needed.
    auto startsCharacter
        = [&](std::size_t pos) { return m_utf8 ? (s[pos] & 0xC0u) != 0x80u : walker.IsBoundary(pos); };
    std::size_t i = 0;

    // Checks the candidate starts set in `bits` (bit k: position base + k).
    auto check = [&](unsigned bits, std::size_t base) -> std::size_t {
        while (bits) {
            std::size_t pos = base + static_cast<std::size_t>(__builtin_ctz(bits));
            bits &= bits - 1;
            if (startsCharacter(pos) && MatchesAt(s + pos))
                return pos;
        }
        return npos;
    };

#if defined(__SSE2__)
    // Candidates are the positions whose first and last byte fit; only those
    // are checked for a character boundary and compared in full.
    const ScanVectors v { _mm_set1_epi8(static_cast<char>(m_first)),
        _mm_set1_epi8(static_cast<char>(m_firstMask)), _mm_set1_epi8(static_cast<char>(m_last)),
        _mm_set1_epi8(static_cast<char>(m_lastMask)) };
    // Names and extensions are short: one step without loops, so that a
    // million fields of random lengths cost no mispredicted branches.
    if (size <= 32 && SamePage(s + size - 1, s + tail + 31)) {
        unsigned zeros;
        unsigned bits = ShortFieldCandidates(s, tail, v, zeros);
        const unsigned valid = lastPos >= 31 ? ~0u : (1u << (lastPos + 1)) - 1;
        bits &= valid;
        zeros &= valid;
        if (zeros)
            bits &= (1u << __builtin_ctz(zeros)) - 1;
        return bits ? check(bits, 0) : npos;
    }
    if (size >= 16) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i first = v.first, firstMask = v.firstMask, last = v.last, lastMask = v.lastMask;
        for (; i + 15 <= lastPos; i += 16) {
            __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + tail));
            __m128i eq = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, firstMask), first),
                _mm_cmpeq_epi8(_mm_or_si128(b, lastMask), last));
            unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(eq));
            unsigned zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, zero)));
            if (zeros) // the text ends in this block
                return check(bits & ((1u << __builtin_ctz(zeros)) - 1), i);
            if (bits) {
                if (std::size_t pos = check(bits, i); pos != npos)
                    return pos;
            }
        }
        if (i > lastPos)
            return npos;
        // The last starts i..lastPos (fewer than 16), with loads that end at
        // the field's end at the latest: the first bytes from `j`, the last
        // bytes from size - 16, realigned by shifting the bit mask.
        const std::size_t j = std::min(i, size - 16);
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + j));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + size - 16));
        unsigned firstBits
            = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(a, firstMask), first)));
        unsigned lastBits
            = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(b, lastMask), last)));
        unsigned zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, zero)));
        const std::size_t shift = j + tail - (size - 16); // bit k of the first mask pairs with bit k + shift
        unsigned bits = firstBits & (lastBits >> shift);
        bits &= ~((1u << (i - j)) - 1); // starts before i are done
        bits &= (2u << (lastPos - j)) - 1; // no start after lastPos
        zeros &= ~((1u << (i - j)) - 1);
        if (zeros)
            bits &= (1u << __builtin_ctz(zeros)) - 1;
        return check(bits, j);
    }
#endif
    for (; i <= lastPos; ++i) {
        if (s[i] == 0)
            return npos;
        if ((s[i] | m_firstMask) != m_first || (s[i + tail] | m_lastMask) != m_last)
            continue;
        if (startsCharacter(i) && MatchesAt(s + i))
            return i;
    }
    return npos;
}

bool CKeywordPattern::Find(std::string_view field) const noexcept
{
    return Search(field) != npos;
}

namespace {

// The UTF-8 form of a content keyword (up to its first zero byte), or empty
// when it holds no byte above 0x7F and so reads the same in both encodings.
std::string Utf8FormOf(std::string_view keyword)
{
    keyword = keyword.substr(0, TextLength(keyword));
    return IsAscii(keyword) ? std::string() : GbToUtf8(keyword);
}

} // namespace

CSearchMatcher::CSearchMatcher(const CSearchCriteria& criteria)
    : m_c(criteria)
    , m_contentUtf8(Utf8FormOf(criteria.m_strContent.view()))
    , m_name(criteria.m_strName.view(), criteria.m_bNameCase)
    , m_extension(criteria.m_strExtension.view(), criteria.m_bExtensionCase)
    , m_remark(criteria.m_strRemark.view(), criteria.m_bRemarkCase)
    , m_content(criteria.m_strContent.view(), criteria.m_bContentCase)
    , m_contentAsUtf8(m_contentUtf8, criteria.m_bContentCase, KeywordEncoding::Utf8)
    , m_contentInText(m_contentUtf8.empty() ? criteria.m_strContent.view() : std::string_view(m_contentUtf8),
          criteria.m_bContentCase, KeywordEncoding::Utf8)
    , m_useName(!criteria.m_strName.empty())
    , m_useExtension(!criteria.m_strExtension.empty())
    , m_useRemark(!criteria.m_strRemark.empty())
    , m_useSizeLower(criteria.m_bSizeLower)
    , m_useSizeUpper(criteria.m_bSizeUpper)
    , m_useTimeUpper(criteria.m_bTimeUpper)
    , m_useTimeLower(criteria.m_bTimeLower)
    , m_useContent(!criteria.m_strContent.empty())
{
}

inline bool CSearchMatcher::ContentMatches(const CDatum& d) const noexcept
{
    const std::string_view content = d.m_strContent.view();
    if (m_content.Find(content) || (!m_contentUtf8.empty() && m_contentAsUtf8.Find(content)))
        return true;
    // A document's text is UTF-8 whatever the keyword's characters, so it is
    // walked by UTF-8 character boundaries also for an ASCII keyword.
    return !d.m_strText.empty() && m_contentInText.Find(d.m_strText.view());
}

inline bool CSearchMatcher::MatchesInline(const CDatum& d) const noexcept
{
    // An empty keyword or an inactive bound can never decide: it is true in
    // AND mode and false in OR mode. So only the active tests are evaluated,
    // and the first one that agrees with the mode (true for OR, false for
    // AND) decides.
    const bool orMode = m_c.m_bOr;
#define TESSARY_TEST(active, result)                                                                         \
    if (active) {                                                                                            \
        if ((result) == orMode)                                                                              \
            return orMode;                                                                                   \
    }
    TESSARY_TEST(m_useName, m_name.Find(d.m_strName.view()))
    TESSARY_TEST(m_useExtension, m_extension.Find(d.m_strExtension.view()))
    TESSARY_TEST(m_useRemark, m_remark.Find(d.m_strRemark.view()))
    TESSARY_TEST(m_useSizeLower, d.m_dwSize > m_c.m_dwSizeLower)
    TESSARY_TEST(m_useSizeUpper, d.m_dwSize < m_c.m_dwSizeUpper)
    TESSARY_TEST(m_useTimeUpper, d.m_timeModified < m_c.m_timeUpper)
    TESSARY_TEST(m_useTimeLower, d.m_timeModified > m_c.m_timeLower)
    TESSARY_TEST(m_useContent, ContentMatches(d))
#undef TESSARY_TEST
    return !orMode;
}

bool CSearchMatcher::Matches(const CDatum& d) const noexcept
{
    return MatchesInline(d);
}

CDatum* CDatum::Match(const CSearchCriteria& criteria, std::size_t)
{
    return CSearchMatcher(criteria).Matches(*this) ? this : nullptr;
}

namespace {
constexpr std::size_t kItemAhead = 16;
constexpr std::size_t kNameAhead = 8;
} // namespace

void CCategory::CollectMatches(const CSearchCriteria& criteria, std::vector<CDatum*>& results) const
{
    const CSearchMatcher matcher(criteria);
    const std::size_t before = results.size();

    // The categories in visiting order: post-order, each category after its
    // sub-categories (whose data items come before its own).
    std::vector<const CCategory*> order;
    std::size_t itemCount = 0;
    for (const CCategory& c : PostOrder(*this)) {
        order.push_back(&c);
        itemCount += c.m_data.size();
    }

    // Room for every item up front: growing a list of a million results step
    // by step would copy it over and over and touch twice the memory. Pages
    // that no result reaches are never touched, and a list that stays small
    // is shrunk below.
    results.reserve(before + itemCount);

    // Matches are appended in visiting order. The data items and their name
    // blocks lie all over the heap and most folders hold only a few items,
    // so memory is fetched ahead across categories: the item lists two
    // categories ahead, the items of the next category, and within a list
    // the items and names a few places ahead. Many cache misses are then
    // under way at once instead of one after the other.
    const std::size_t categories = order.size();
    for (std::size_t k = 0; k < categories; ++k) {
        if (k + 2 < categories && !order[k + 2]->m_data.empty())
            __builtin_prefetch(order[k + 2]->m_data.begin());
        if (k + 1 < categories) {
            const DatumList& next = order[k + 1]->m_data;
            for (std::size_t i = 0; i < next.size() && i < kItemAhead; ++i)
                __builtin_prefetch(next[i]);
        }
        const DatumList& data = order[k]->m_data;
        const std::size_t count = data.size();
        for (std::size_t i = 0; i < count; ++i) {
            if (i + kItemAhead < count)
                __builtin_prefetch(data[i + kItemAhead]);
            if (i + kNameAhead < count)
                __builtin_prefetch(data[i + kNameAhead]->m_strName.data());
            if (matcher.MatchesInline(*data[i]))
                results.push_back(data[i]);
        }
    }

    // Every match belongs at the head of the list, in turn: so the new part
    // runs backwards and goes in front of what the list held. One linear
    // pass instead of an insertion at the head per match.
    std::reverse(results.begin() + static_cast<std::ptrdiff_t>(before), results.end());
    std::rotate(results.begin(), results.begin() + static_cast<std::ptrdiff_t>(before), results.end());
    if (results.capacity() > 2 * results.size() + 1024)
        results.shrink_to_fit();
}

} // namespace tessary
