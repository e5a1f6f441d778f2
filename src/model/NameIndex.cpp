#include "NameIndex.h"

#include "Datum.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessary {

namespace {

// How often long loops look at the cancel flag.
constexpr std::size_t kPollEvery = 4096;

inline std::uint32_t TrigramBucket(const char* p) noexcept
{
    std::uint32_t v = static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8
        | static_cast<unsigned char>(p[2]) << 16;
    return (v * 0x9E3779B1u) >> 20; // 12 bits: 4096 buckets
}

// Whether `offset` starts a character of `text`.
bool IsBoundary(std::string_view text, std::size_t offset) noexcept
{
    std::size_t i = 0;
    while (i < offset)
        i += GbCharLength(text.substr(i));
    return i == offset;
}

std::uint32_t ToU32(std::size_t n)
{
    if (n > 0xFFFFFFFFu)
        throw std::length_error("index of more than 2^32 entries");
    return static_cast<std::uint32_t>(n);
}

using Ranges = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// The intersection of two sorted lists of disjoint ranges.
Ranges Intersect(const Ranges& a, const Ranges& b)
{
    Ranges out;
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const std::uint32_t lo = std::max(a[i].first, b[j].first);
        const std::uint32_t hi = std::min(a[i].second, b[j].second);
        if (lo < hi)
            out.emplace_back(lo, hi);
        (a[i].second < b[j].second ? i : j)++;
    }
    return out;
}

} // namespace

CIndexHarvest::CIndexHarvest(std::span<CCategory* const> roots, std::size_t batchItems)
    : m_roots(roots.begin(), roots.end())
    , m_batchItems(std::max<std::size_t>(batchItems, 1))
{
    StartWalk();
}

void CIndexHarvest::StartWalk()
{
    m_walk = std::make_unique<CategoryWalk>(std::span<CCategory* const>(m_roots));
}

void CIndexHarvest::CloseBatch()
{
    if (m_batch.categories.empty() && m_batch.items.empty())
        return;
    m_ready.push_back(std::move(m_batch));
    m_batch = CIndexBatch();
}

std::vector<CIndexBatch> CIndexHarvest::TakeBatches()
{
    std::vector<CIndexBatch> out;
    out.swap(m_ready);
    return out;
}

bool CIndexHarvest::Step(std::size_t budget)
{
    std::size_t work = 0;
    while (!m_done) {
        if (!m_counted) {
            for (; work < budget; ++work) {
                if (!m_walk->Next()) {
                    m_counted = true;
                    StartWalk();
                    break;
                }
                if (m_walk->Entering())
                    m_itemCount += m_walk->Current().GetDatumList().size();
            }
            if (!m_counted)
                return false;
            continue;
        }
        if (m_current) {
            const DatumList& data = m_current->GetDatumList();
            for (; m_next < data.size(); ++m_next, ++work) {
                if (work >= budget)
                    return false;
                const CDatum& d = *data[m_next];
                const std::string_view name = d.m_strName.view(), ext = d.m_strExtension.view();
                std::string_view remark = m_remarksDropped ? std::string_view() : d.m_strRemark.view();
                if (!remark.empty() && m_remarkBytes + remark.size() > kRemarkBudget) {
                    m_remarksDropped = true;
                    remark = {};
                }
                m_remarkBytes += remark.size();
                const std::size_t need = name.size() + ext.size() + remark.size();
                if (m_batch.texts.size() + need > 0xFFFFFFFFu)
                    CloseBatch();
                const auto at = ToU32(m_batch.texts.size());
                m_batch.texts.append(name).append(ext).append(remark);
                m_batch.items.push_back({ &d, d.m_dwSize, at, static_cast<std::uint32_t>(name.size()),
                    static_cast<std::uint32_t>(ext.size()), static_cast<std::uint32_t>(remark.size()) });
                ++m_copied;
                if (m_batch.items.size() >= m_batchItems || m_batch.texts.size() >= kBatchBytes)
                    CloseBatch();
            }
            m_current = nullptr;
        }
        if (work >= budget)
            return false;
        if (!m_walk->Next()) {
            CloseBatch();
            m_done = true;
            break;
        }
        ++work;
        if (!m_walk->Entering())
            continue;
        const CCategory& c = m_walk->Current();
        const std::string_view name = c.m_strName.view();
        if (m_batch.texts.size() + name.size() > 0xFFFFFFFFu)
            CloseBatch();
        m_batch.categories.push_back({ ToU32(m_walk->Depth()), ToU32(m_batch.texts.size()),
            static_cast<std::uint32_t>(name.size()), ToU32(m_copied) });
        m_batch.texts.append(name);
        if (!c.GetDatumList().empty()) {
            m_current = &c;
            m_next = 0;
        }
    }
    return true;
}

CNameIndexBuilder::CNameIndexBuilder(std::size_t itemCount)
    : m_index(new CNameIndex)
{
    m_index->m_items.reserve(itemCount);
    m_index->m_sizes.reserve(itemCount);
    m_itemName.reserve(itemCount);
    m_index->m_remarkStart.push_back(0);
}

void CNameIndexBuilder::Add(const CIndexBatch& batch)
{
    CNameIndex& x = *m_index;
    const std::string_view texts = batch.texts;
    for (const CIndexBatch::Category& c : batch.categories) {
        // Categories come in pre-order: the open ones at this depth or
        // deeper end where this one starts.
        while (!m_open.empty() && m_open.back().second >= c.depth) {
            x.m_categoryEnd[m_open.back().first] = c.firstItem;
            m_open.pop_back();
        }
        m_folded.clear();
        AppendFolded(m_folded, texts.substr(c.name, c.nameLength));
        x.m_categoryName.push_back(x.m_categoryNames.Add(m_folded));
        x.m_categoryBegin.push_back(c.firstItem);
        m_open.emplace_back(ToU32(x.m_categoryEnd.size()), c.depth);
        x.m_categoryEnd.push_back(CTextSet::npos);
    }
    // First the keys of all items (folded display name, extension number)
    // with their hashes; then the lookups, each one's slot and text fetched
    // from memory a few items ahead, so that the cache misses of a big set
    // overlap instead of coming one after the other.
    m_keys.clear();
    m_keyEnds.clear();
    m_keyTags.clear();
    m_keyHashes.clear();
    for (const CIndexBatch::Item& it : batch.items) {
        const std::string_view name = texts.substr(it.text, it.nameLength);
        const std::string_view ext = texts.substr(it.text + it.nameLength, it.extensionLength);
        const std::string_view remark
            = texts.substr(std::size_t(it.text) + it.nameLength + it.extensionLength, it.remarkLength);
        const std::uint32_t extension = ExtensionNumber(ext);
        // The display name, folded: the folded name, then "." and the folded
        // extension, all ending at the first zero byte.
        const std::size_t start = m_keys.size();
        AppendFolded(m_keys, name);
        if (!ext.empty() && m_keys.size() - start == name.size()) {
            m_keys += '.';
            AppendFolded(m_keys, ext);
        }
        m_keyEnds.push_back(m_keys.size());
        m_keyTags.push_back(extension);
        m_keyHashes.push_back(HashBytes(std::string_view(m_keys).substr(start), extension));
        if (!remark.empty()) {
            const std::size_t before = x.m_remarks.size();
            AppendFolded(x.m_remarks, remark);
            if (x.m_remarks.size() > before) {
                x.m_remarkItems.push_back(ToU32(x.m_items.size()));
                x.m_remarkStart.push_back(ToU32(x.m_remarks.size()));
            }
        }
        x.m_items.push_back(it.item);
        x.m_sizes.push_back(it.size);
    }
    constexpr std::size_t kAhead = 16;
    const std::size_t n = batch.items.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i + kAhead < n)
            x.m_names.PrefetchSlot(m_keyHashes[i + kAhead]);
        if (i + kAhead / 2 < n)
            x.m_names.PrefetchText(m_keyHashes[i + kAhead / 2]);
        const std::size_t start = i ? m_keyEnds[i - 1] : 0;
        const std::string_view key = std::string_view(m_keys).substr(start, m_keyEnds[i] - start);
        m_itemName.push_back(x.m_names.AddHashed(key, m_keyTags[i], m_keyHashes[i]));
    }
}

std::uint32_t CNameIndexBuilder::ExtensionNumber(std::string_view ext)
{
    // Most extensions are short and few: a small cache keyed by their bytes
    // spares folding and hashing them item after item.
    std::uint64_t key = 0;
    const bool cached = ext.size() < 8;
    if (cached) {
        std::memcpy(&key, ext.data(), ext.size());
        key |= std::uint64_t(ext.size() + 1) << 56;
        const auto& [k, number] = m_extensionCache[(key * 0x9E3779B97F4A7C15ull) >> 56];
        if (k == key)
            return number;
    }
    m_folded.clear();
    AppendFolded(m_folded, ext);
    const std::uint32_t number = m_index->m_extensions.Add(m_folded);
    if (cached)
        m_extensionCache[(key * 0x9E3779B97F4A7C15ull) >> 56] = { key, number };
    return number;
}

std::unique_ptr<CNameIndex> CNameIndexBuilder::Finish(bool remarksComplete)
{
    CNameIndex& x = *m_index;
    const auto items = ToU32(x.m_items.size());
    for (const auto& open : m_open)
        x.m_categoryEnd[open.first] = items;
    m_open.clear();
    x.m_remarksComplete = remarksComplete;

    // Postings: the items of each distinct name, ascending.
    const std::size_t names = x.m_names.size();
    x.m_postingStart.assign(names + 1, 0);
    for (std::uint32_t n : m_itemName)
        ++x.m_postingStart[n + 1];
    for (std::size_t n = 0; n < names; ++n)
        x.m_postingStart[n + 1] += x.m_postingStart[n];
    x.m_postings.resize(items);
    {
        std::vector<std::uint32_t> fill(x.m_postingStart.begin(), x.m_postingStart.end() - 1);
        for (std::uint32_t i = 0; i < items; ++i)
            x.m_postings[fill[m_itemName[i]]++] = i;
    }
    std::vector<std::uint32_t>().swap(m_itemName);

    // The trigram filter.
    const std::size_t groups = (names + CNameIndex::kGroupNames - 1) / CNameIndex::kGroupNames;
    x.m_groupWords = (groups + 63) / 64;
    x.m_filter.assign(CNameIndex::kFilterBuckets * x.m_groupWords, 0);
    for (std::size_t n = 0; n < names; ++n) {
        const std::string_view t = x.m_names.Text(static_cast<std::uint32_t>(n));
        const std::size_t group = n / CNameIndex::kGroupNames;
        const std::uint64_t bit = std::uint64_t(1) << (group % 64);
        for (std::size_t i = 0; i + 3 <= t.size(); ++i)
            x.m_filter[TrigramBucket(t.data() + i) * x.m_groupWords + group / 64] |= bit;
    }

    x.m_names.Seal(false);
    x.m_extensions.Seal(true);
    x.m_categoryNames.Seal(true);
    x.m_items.shrink_to_fit();
    x.m_sizes.shrink_to_fit();
    x.m_categoryName.shrink_to_fit();
    x.m_categoryBegin.shrink_to_fit();
    x.m_categoryEnd.shrink_to_fit();
    x.m_remarkItems.shrink_to_fit();
    x.m_remarkStart.shrink_to_fit();
    x.m_remarks.shrink_to_fit();
    return std::move(m_index);
}

std::unique_ptr<CNameIndex> BuildNameIndex(std::span<CCategory* const> roots)
{
    // Batch by batch, so that the copies never pile up.
    CIndexHarvest harvest(roots);
    std::unique_ptr<CNameIndexBuilder> builder;
    for (bool done = false; !done;) {
        done = harvest.Step(CIndexHarvest::kBatchItems);
        for (const CIndexBatch& batch : harvest.TakeBatches()) {
            if (!builder) // the count is known once batches come
                builder = std::make_unique<CNameIndexBuilder>(harvest.ItemCount());
            builder->Add(batch);
        }
    }
    if (!builder)
        builder = std::make_unique<CNameIndexBuilder>(0);
    return builder->Finish(harvest.RemarksComplete());
}

std::size_t CNameIndex::MemoryBytes() const noexcept
{
    auto bytes = [](const auto& v) { return v.capacity() * sizeof(v[0]); };
    return sizeof(*this) + bytes(m_items) + bytes(m_sizes) + m_names.MemoryBytes() + bytes(m_postingStart)
        + bytes(m_postings) + m_extensions.MemoryBytes() + bytes(m_filter) + m_categoryNames.MemoryBytes()
        + bytes(m_categoryName) + bytes(m_categoryBegin) + bytes(m_categoryEnd) + bytes(m_remarkItems)
        + bytes(m_remarkStart) + m_remarks.capacity();
}

bool CNameIndex::RemarkMatches(std::size_t remark, const std::vector<CKeywordPattern>& words) const
{
    const std::string_view text(
        m_remarks.data() + m_remarkStart[remark], m_remarkStart[remark + 1] - m_remarkStart[remark]);
    for (const CKeywordPattern& w : words)
        if (!w.Find(text))
            return false;
    return true;
}

bool CNameIndex::MatchingNames(const CQuickQuery& query, const std::vector<bool>& extensions,
    std::vector<std::uint32_t>& names, const std::atomic<bool>* cancel) const
{
    const auto count = static_cast<std::uint32_t>(m_names.size());
    auto extensionAllowed = [&](std::uint32_t n) { return extensions.empty() || extensions[m_names.Tag(n)]; };
    if (query.words.empty()) {
        for (std::uint32_t n = 0; n < count; ++n)
            if (extensionAllowed(n))
                names.push_back(n);
        return true;
    }

    // The longest word drives the scan; the others are checked in the
    // names it finds.
    const std::string& driver = *std::max_element(query.words.begin(), query.words.end(),
        [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    std::vector<CKeywordPattern> others;
    for (const std::string& w : query.words)
        if (&w != &driver)
            others.emplace_back(w, true);
    const std::size_t len = driver.size();
    const char* block = m_names.Block();

    // Looks for the driver in the names [first, end), which lie end to end.
    auto scan = [&](std::uint32_t first, std::uint32_t end) {
        const std::size_t to = m_names.Start(end);
        std::uint32_t name = first;
        std::size_t skipUntil = m_names.Start(first);
        // A candidate: `hit` holds the driver's first and last byte.
        auto candidate = [&](std::size_t hit) {
            if (hit < skipUntil)
                return;
            while (m_names.Start(name + 1) <= hit)
                ++name;
            if (std::memcmp(block + hit, driver.data(), len) != 0)
                return;
            const std::string_view text = m_names.Text(name);
            if (!IsBoundary(text, hit - m_names.Start(name)))
                return;
            skipUntil = m_names.Start(name + 1); // found in this name: on to the next
            if (!extensionAllowed(name))
                return;
            for (const CKeywordPattern& w : others)
                if (!w.Find(text))
                    return;
            names.push_back(name);
        };
        std::size_t i = m_names.Start(first);
        if (to < i + len)
            return true;
        const std::size_t last = to - len; // the last start a match can have
        std::size_t polled = i;
#if defined(__SSE2__)
        const __m128i f = _mm_set1_epi8(driver.front()), l = _mm_set1_epi8(driver.back());
        for (; i <= last; i += 16) {
            if (i - polled >= (std::size_t(1) << 16)) {
                polled = i;
                if (Cancelled(cancel))
                    return false;
            }
            // Reads up to 15 bytes past `to`: the set's padding.
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + len - 1));
            auto bits = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, f), _mm_cmpeq_epi8(b, l))));
            if (last - i < 15)
                bits &= (2u << (last - i)) - 1;
            while (bits) {
                candidate(i + static_cast<std::size_t>(__builtin_ctz(bits)));
                bits &= bits - 1;
            }
        }
#else
        for (; i <= last; ++i) {
            if (i - polled >= (std::size_t(1) << 16)) {
                polled = i;
                if (Cancelled(cancel))
                    return false;
            }
            if (block[i] == driver.front() && block[i + len - 1] == driver.back())
                candidate(i);
        }
#endif
        return true;
    };

    if (len < 3 || m_groupWords == 0)
        return scan(0, count);

    // Only the groups of names that hold every trigram of the driver.
    std::vector<std::uint64_t> groups(m_groupWords, ~std::uint64_t(0));
    for (std::size_t i = 0; i + 3 <= len; ++i) {
        const std::uint64_t* row = m_filter.data() + TrigramBucket(driver.data() + i) * m_groupWords;
        for (std::size_t w = 0; w < m_groupWords; ++w)
            groups[w] &= row[w];
    }
    for (std::size_t w = 0; w < m_groupWords; ++w) {
        std::uint64_t bits = groups[w];
        while (bits) {
            // A run of adjacent groups is scanned in one go.
            const auto first = static_cast<unsigned>(__builtin_ctzll(bits));
            const std::uint64_t shifted = bits >> first;
            const unsigned run = shifted == ~std::uint64_t(0)
                ? 64 - first
                : static_cast<unsigned>(__builtin_ctzll(~shifted));
            bits = run + first >= 64 ? 0 : bits & ~(((std::uint64_t(1) << run) - 1) << first);
            const std::size_t g = w * 64 + first;
            const auto from = static_cast<std::uint32_t>(g * kGroupNames);
            const auto to = static_cast<std::uint32_t>(std::min<std::size_t>((g + run) * kGroupNames, count));
            if (from < to && !scan(from, to))
                return false;
        }
    }
    return true;
}

CNameIndex::Outcome CNameIndex::Find(
    const CQuickQuery& query, std::vector<std::uint32_t>& found, const std::atomic<bool>* cancel) const
{
    found.clear();
    if (query.IsEmpty())
        return Outcome::Found;
    if (!query.remarks.empty() && !m_remarksComplete)
        return Outcome::Unanswerable;
    const auto items = static_cast<std::uint32_t>(m_items.size());

    // Allowed extensions, by number.
    std::vector<bool> extensions;
    if (!query.extensions.empty()) {
        extensions.assign(m_extensions.size(), false);
        bool any = false;
        for (const std::string& e : query.extensions) {
            const std::uint32_t id = m_extensions.Find(e);
            if (id != CTextSet::npos)
                extensions[id] = any = true;
        }
        if (!any)
            return Outcome::Found;
    }

    // Item ranges below every in: name.
    Ranges ranges;
    const bool inFolders = !query.folders.empty();
    if (inFolders) {
        ranges.emplace_back(0, items);
        const std::size_t folders = std::min(query.folders.size(), CQuickQuery::kMaxFolders);
        for (std::size_t f = 0; f < folders && !ranges.empty(); ++f) {
            const std::uint32_t id = m_categoryNames.Find(query.folders[f]);
            Ranges below;
            for (std::size_t c = 0; id != CTextSet::npos && c < m_categoryName.size(); ++c) {
                if (m_categoryName[c] != id || m_categoryBegin[c] == m_categoryEnd[c])
                    continue;
                // Pre-order: a category inside the last range lies below it.
                if (!below.empty() && m_categoryBegin[c] < below.back().second)
                    below.back().second = std::max(below.back().second, m_categoryEnd[c]);
                else
                    below.emplace_back(m_categoryBegin[c], m_categoryEnd[c]);
            }
            ranges = Intersect(ranges, below);
        }
        if (ranges.empty())
            return Outcome::Found;
    }

    std::vector<CKeywordPattern> remarkWords;
    for (const std::string& r : query.remarks)
        remarkWords.emplace_back(r, true);

    // The tests on one item other than its name, given that items come in
    // ascending order.
    std::size_t range = 0, remark = 0;
    auto keep = [&](std::uint32_t item) {
        if (inFolders) {
            while (range < ranges.size() && ranges[range].second <= item)
                ++range;
            if (range == ranges.size() || item < ranges[range].first)
                return false;
        }
        const std::uint32_t size = m_sizes[item];
        if (query.sizeAbove && !(size > *query.sizeAbove))
            return false;
        if (query.sizeBelow && !(size < *query.sizeBelow))
            return false;
        if (!remarkWords.empty()) {
            while (remark < m_remarkItems.size() && m_remarkItems[remark] < item)
                ++remark;
            if (remark == m_remarkItems.size() || m_remarkItems[remark] != item
                || !RemarkMatches(remark, remarkWords))
                return false;
        }
        return true;
    };
    std::size_t polls = 0;
    auto poll = [&] { return ++polls % kPollEvery == 0 && Cancelled(cancel); };

    if (!query.words.empty() || !extensions.empty()) {
        std::vector<std::uint32_t> names;
        if (!MatchingNames(query, extensions, names, cancel))
            return Outcome::Cancelled;
        std::size_t total = 0;
        for (std::uint32_t n : names)
            total += m_postingStart[n + 1] - m_postingStart[n];
        if (total == 0)
            return Outcome::Found;
        // Many items: a bitmap puts them in order faster than sorting.
        if (total > items / 32) {
            std::vector<std::uint64_t> bitmap((items + 63) / 64, 0);
            for (std::uint32_t n : names) {
                if (poll())
                    return Outcome::Cancelled;
                for (std::uint32_t p = m_postingStart[n]; p < m_postingStart[n + 1]; ++p)
                    bitmap[m_postings[p] / 64] |= std::uint64_t(1) << (m_postings[p] % 64);
            }
            for (std::size_t w = 0; w < bitmap.size(); ++w) {
                for (std::uint64_t bits = bitmap[w]; bits; bits &= bits - 1) {
                    const auto item
                        = static_cast<std::uint32_t>(w * 64 + static_cast<unsigned>(__builtin_ctzll(bits)));
                    if (keep(item))
                        found.push_back(item);
                }
                if (w % kPollEvery == 0 && Cancelled(cancel))
                    return Outcome::Cancelled;
            }
        } else {
            std::vector<std::uint32_t> candidates;
            candidates.reserve(total);
            for (std::uint32_t n : names)
                candidates.insert(candidates.end(), m_postings.begin() + m_postingStart[n],
                    m_postings.begin() + m_postingStart[n + 1]);
            std::sort(candidates.begin(), candidates.end());
            for (std::uint32_t item : candidates) {
                if (poll())
                    return Outcome::Cancelled;
                if (keep(item))
                    found.push_back(item);
            }
        }
    } else if (!remarkWords.empty()) {
        for (std::uint32_t item : m_remarkItems) {
            if (poll())
                return Outcome::Cancelled;
            if (keep(item))
                found.push_back(item);
        }
    } else {
        if (!inFolders)
            ranges.assign(1, { 0, items });
        for (const auto& [begin, end] : ranges) {
            for (std::uint32_t item = begin; item < end; ++item) {
                if (poll())
                    return Outcome::Cancelled;
                if (keep(item))
                    found.push_back(item);
            }
        }
    }
    return Outcome::Found;
}

} // namespace tessary
