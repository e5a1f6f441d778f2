#include "QuickQuery.h"

#include "Datum.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tessary {

namespace {

inline bool IsUpperAscii(unsigned char c) noexcept
{
    return static_cast<unsigned>(c - 'A') < 26u;
}

inline char LowerAscii(char c) noexcept
{
    return IsUpperAscii(static_cast<unsigned char>(c)) ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Length of `text` up to its first zero byte.
inline std::string_view UpToZero(std::string_view text) noexcept
{
    const void* z = text.empty() ? nullptr : std::memchr(text.data(), 0, text.size());
    return z ? text.substr(0, static_cast<std::size_t>(static_cast<const char*>(z) - text.data())) : text;
}

// The ideographic space, a blank for people typing through an input method.
constexpr std::string_view kIdeographicSpace = "\xA1\xA1";

// Length of the blank at the start of `text`, 0 when there is none.
std::size_t BlankAt(std::string_view text) noexcept
{
    if (text[0] == ' ' || text[0] == '\t')
        return 1;
    return text.substr(0, 2) == kIdeographicSpace ? 2 : 0;
}

bool StartsWithFolded(std::string_view text, std::string_view lowerPrefix) noexcept
{
    if (text.size() < lowerPrefix.size())
        return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i)
        if (LowerAscii(text[i]) != lowerPrefix[i])
            return false;
    return true;
}

// A size such as "10", "1.5M", "2kb" or "3G": the number of bytes, or
// nothing when `text` is not one. Values past 2^64 - 1 stay there.
std::optional<std::uint64_t> ParseSize(std::string_view text)
{
    std::size_t i = 0;
    auto digit = [&](std::size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
    if (!digit(0))
        return std::nullopt;
    constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t whole = 0;
    for (; digit(i); ++i)
        whole = whole > (kMax - 9) / 10 ? kMax : whole * 10 + static_cast<unsigned>(text[i] - '0');
    std::uint64_t fraction = 0, scale = 1;
    if (i < text.size() && text[i] == '.') {
        ++i;
        for (; digit(i); ++i) {
            if (scale < 1000000000) {
                fraction = fraction * 10 + static_cast<unsigned>(text[i] - '0');
                scale *= 10;
            }
        }
    }
    std::uint64_t unit = 1;
    if (i < text.size()) {
        switch (LowerAscii(text[i])) {
        case 'k':
            unit = std::uint64_t(1) << 10;
            ++i;
            break;
        case 'm':
            unit = std::uint64_t(1) << 20;
            ++i;
            break;
        case 'g':
            unit = std::uint64_t(1) << 30;
            ++i;
            break;
        case 't':
            unit = std::uint64_t(1) << 40;
            ++i;
            break;
        default:
            break;
        }
    }
    if (i < text.size() && LowerAscii(text[i]) == 'b')
        ++i;
    if (i != text.size())
        return std::nullopt;
    if (whole > kMax / unit)
        return kMax;
    // fraction / scale of a unit, in two parts that cannot overflow: with
    // unit = q * scale + r, fraction * q <= unit and fraction * r < 10^18.
    const std::uint64_t part = fraction * (unit / scale) + fraction * (unit % scale) / scale;
    std::uint64_t value;
    if (__builtin_add_overflow(whole * unit, part, &value))
        return kMax;
    return value;
}

void AddUnique(std::vector<std::string>& list, std::string value)
{
    if (!value.empty() && std::find(list.begin(), list.end(), value) == list.end())
        list.push_back(std::move(value));
}

} // namespace

std::size_t GbCharLength(std::string_view text) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t rest = text.size();
    if (rest < 2 || p[0] < 0x81 || p[0] == 0xFF)
        return 1;
    if (rest >= 4 && p[1] - 0x30u < 10u && p[2] - 0x81u < 0x7Eu && p[3] - 0x30u < 10u)
        return 4;
    return 2;
}

void AppendFolded(std::string& out, std::string_view text)
{
    text = UpToZero(text);
    const std::size_t at = out.size();
    out.append(text);
    char* p = out.data() + at;
    // Single-byte characters up to the first byte above 0x7F: no walk.
    std::size_t i = 0;
    for (; i < text.size() && static_cast<unsigned char>(p[i]) < 0x80; ++i)
        p[i] = LowerAscii(p[i]);
    while (i < text.size()) {
        std::size_t n = GbCharLength(text.substr(i));
        if (n == 1)
            p[i] = LowerAscii(p[i]);
        i += n;
    }
}

std::string FoldCase(std::string_view text)
{
    std::string out;
    AppendFolded(out, text);
    return out;
}

bool EqualsFolded(std::string_view text, std::string_view folded) noexcept
{
    text = UpToZero(text);
    if (text.size() != folded.size())
        return false;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = GbCharLength(text.substr(i));
        if (n == 1) {
            if (LowerAscii(text[i]) != folded[i])
                return false;
        } else if (text.substr(i, n) != folded.substr(i, n)) {
            return false;
        }
        i += n;
    }
    return true;
}

CQuickQuery CQuickQuery::Parse(std::string_view text)
{
    CQuickQuery q;
    std::size_t i = 0;
    while (i < text.size()) {
        if (std::size_t blank = BlankAt(text.substr(i))) {
            i += blank;
            continue;
        }
        // One token: up to the next blank outside quotes; the quotes go.
        const bool quotedStart = text[i] == '"';
        std::string token;
        bool quoted = false;
        while (i < text.size()) {
            if (!quoted && BlankAt(text.substr(i)))
                break;
            if (text[i] == '"') {
                quoted = !quoted;
                ++i;
                continue;
            }
            std::size_t n = GbCharLength(text.substr(i));
            token.append(text.substr(i, n));
            i += n;
        }
        if (token.empty())
            continue;
        if (!quotedStart) {
            if (StartsWithFolded(token, "ext:")) {
                std::string_view list = std::string_view(token).substr(4);
                while (!list.empty()) {
                    std::size_t comma = list.find(',');
                    std::string_view one = list.substr(0, comma);
                    if (!one.empty() && one[0] == '.')
                        one.remove_prefix(1);
                    AddUnique(q.extensions, FoldCase(one));
                    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
                }
                continue;
            }
            if (StartsWithFolded(token, "in:")) {
                if (q.folders.size() < kMaxFolders)
                    AddUnique(q.folders, FoldCase(std::string_view(token).substr(3)));
                continue;
            }
            if (StartsWithFolded(token, "rem:")) {
                AddUnique(q.remarks, FoldCase(std::string_view(token).substr(4)));
                continue;
            }
            if (token[0] == '>' || token[0] == '<') {
                if (token.size() == 1)
                    continue; // still typing
                if (std::optional<std::uint64_t> size = ParseSize(std::string_view(token).substr(1))) {
                    if (token[0] == '>')
                        q.sizeAbove = std::max(q.sizeAbove.value_or(0), *size);
                    else
                        q.sizeBelow = std::min(q.sizeBelow.value_or(*size), *size);
                    continue;
                }
            }
        }
        AddUnique(q.words, FoldCase(token));
    }
    return q;
}

CQuickMatcher::CQuickMatcher(const CQuickQuery& query)
    : m_query(query)
{
    for (const std::string& w : query.words)
        m_words.emplace_back(w, false);
    for (const std::string& r : query.remarks)
        m_remarks.emplace_back(r, false);
    const std::size_t folders = std::min(query.folders.size(), CQuickQuery::kMaxFolders);
    m_allFolders = folders == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << folders) - 1;
}

bool CQuickMatcher::MatchesItem(const CDatum& d) const
{
    if (m_query.sizeAbove && !(d.m_dwSize > *m_query.sizeAbove))
        return false;
    if (m_query.sizeBelow && !(d.m_dwSize < *m_query.sizeBelow))
        return false;
    if (!m_query.extensions.empty()) {
        const std::string_view ext = d.m_strExtension.view();
        if (std::none_of(m_query.extensions.begin(), m_query.extensions.end(),
                [&](const std::string& e) { return EqualsFolded(ext, e); }))
            return false;
    }
    if (!m_words.empty()) {
        m_display.assign(d.m_strName.view());
        if (!d.m_strExtension.empty()) {
            m_display += '.';
            m_display.append(d.m_strExtension.view());
        }
        for (const CKeywordPattern& w : m_words)
            if (!w.Find(m_display))
                return false;
    }
    for (const CKeywordPattern& r : m_remarks)
        if (!r.Find(d.m_strRemark.view()))
            return false;
    return true;
}

std::uint64_t CQuickMatcher::FolderBits(const CCategory& category) const noexcept
{
    std::uint64_t bits = 0;
    const std::size_t folders = std::min(m_query.folders.size(), CQuickQuery::kMaxFolders);
    for (std::size_t i = 0; i < folders; ++i)
        if (EqualsFolded(category.m_strName.view(), m_query.folders[i]))
            bits |= std::uint64_t(1) << i;
    return bits;
}

CQuickScan::CQuickScan(const CQuickQuery& query, std::span<CCategory* const> roots)
    : m_query(query)
    , m_matcher(m_query)
    , m_roots(roots.begin(), roots.end())
    , m_walk(std::span<CCategory* const>(m_roots))
    , m_done(m_query.IsEmpty())
{
}

bool CQuickScan::Step(std::size_t budget)
{
    std::size_t work = 0;
    while (!m_done) {
        if (m_current) {
            const DatumList& data = m_current->GetDatumList();
            const std::size_t room = budget > work ? budget - work : 0;
            const std::size_t start = m_next;
            const std::size_t end = data.size() - start <= room ? data.size() : start + room;
            for (; m_next < end; ++m_next)
                if (m_matcher.MatchesItem(*data[m_next]))
                    m_results.push_back(data[m_next]);
            work += end - start;
            if (m_next < data.size())
                return false;
            m_current = nullptr;
        }
        if (work >= budget)
            return false;
        if (!m_walk.Next()) {
            m_done = true;
            break;
        }
        ++work;
        if (!m_walk.Entering())
            continue;
        CCategory& c = m_walk.Current();
        const std::size_t depth = m_walk.Depth();
        std::uint64_t bits = depth ? m_bits[depth - 1] : 0;
        if (m_matcher.AllFolderBits())
            bits |= m_matcher.FolderBits(c);
        m_bits.resize(depth + 1);
        m_bits[depth] = bits;
        if (bits == m_matcher.AllFolderBits() && !c.GetDatumList().empty()) {
            m_current = &c;
            m_next = 0;
        }
    }
    return true;
}

std::vector<CDatum*> QuickScan(const CQuickQuery& query, std::span<CCategory* const> roots)
{
    CQuickScan scan(query, roots);
    while (!scan.Step(std::numeric_limits<std::size_t>::max())) { }
    return std::move(scan.Results());
}

} // namespace tessary
