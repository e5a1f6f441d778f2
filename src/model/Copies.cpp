#include "Copies.h"

#include "Datum.h"
#include "EntryWalk.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace tessary {

namespace {

// How many data items go by between two looks at the cancel flag (and two
// progress reports).
constexpr std::size_t kCheckEvery = 4096;

// How far ahead items and their names are fetched into the cache.
constexpr std::size_t kItemAhead = 48;
constexpr std::size_t kNameAhead = 16;

// A 64-bit hash of a few dozen bytes: 64 x 64 -> 128-bit multiplications
// folded to 64 bits, 16 bytes per step.
constexpr std::uint64_t kK1 = 0xa0761d6478bd642full;
constexpr std::uint64_t kK2 = 0xe7037ed1a0b428dbull;
constexpr std::uint64_t kK3 = 0x8ebc6af09c88c6e3ull;

inline std::uint64_t Mix(std::uint64_t a, std::uint64_t b) noexcept
{
    const unsigned __int128 r = static_cast<unsigned __int128>(a) * b;
    return static_cast<std::uint64_t>(r) ^ static_cast<std::uint64_t>(r >> 64);
}

inline std::uint64_t Load64(const unsigned char* p) noexcept
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline std::uint64_t Load32(const unsigned char* p) noexcept
{
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::uint64_t HashBytes(std::string_view bytes, std::uint64_t seed) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    std::uint64_t h = seed ^ Mix(n ^ kK1, kK2);
    for (; n > 16; p += 16, n -= 16)
        h = Mix(Load64(p) ^ kK1, Load64(p + 8) ^ h);
    // The last 1 to 16 bytes, read as two words that may overlap.
    std::uint64_t a = 0, b = 0;
    if (n >= 8) {
        a = Load64(p);
        b = Load64(p + n - 8);
    } else if (n >= 4) {
        a = Load32(p);
        b = Load32(p + n - 4);
    } else if (n > 0) {
        a = (std::uint64_t { p[0] } << 16) | (std::uint64_t { p[n >> 1] } << 8) | p[n - 1];
    }
    return Mix(a ^ kK2 ^ h, b ^ kK3);
}

// The file name of a data item as it is compared: the name, then "." and
// the extension when there is one. File and custom data items split a name
// at different dots, so the parts alone would not do.
class FileNameKey {
public:
    std::string_view Of(const CDatum& d)
    {
        std::string_view name = d.m_strName.view(), ext = d.m_strExtension.view();
        if (ext.empty())
            return name;
        m_buffer.assign(name);
        m_buffer += '.';
        m_buffer.append(ext);
        return m_buffer;
    }

private:
    std::string m_buffer;
};

// Compares and hashes data items under one rule.
class CopyKeys {
public:
    explicit CopyKeys(const CopyRule& rule) noexcept
        : m_compareTime(rule.compareTime)
        , m_least(std::max<Size32>(rule.minSize, 1))
    {
    }

    bool Considered(const CDatum& d) const noexcept { return d.m_dwSize >= m_least; }

    // The hash of what makes the item's key: file name, size, time if compared.
    std::uint64_t Hash(const CDatum& d)
    {
        const std::uint64_t time = m_compareTime ? static_cast<std::uint32_t>(d.m_timeModified) : 0;
        return HashBytes(m_key.Of(d), Mix(d.m_dwSize ^ kK3, time ^ kK1));
    }

    // A hash of size and time only, for a filter that spares reading names.
    std::uint64_t SizeHash(const CDatum& d) const noexcept
    {
        const std::uint64_t time = m_compareTime ? static_cast<std::uint32_t>(d.m_timeModified) : 0;
        return Mix(d.m_dwSize ^ kK2, (time << 1 | 1) ^ kK1);
    }

    bool SameKey(const CDatum& a, const CDatum& b)
    {
        if (a.m_dwSize != b.m_dwSize || (m_compareTime && a.m_timeModified != b.m_timeModified))
            return false;
        if (a.m_strName.size() == b.m_strName.size())
            return a.m_strName == b.m_strName && a.m_strExtension == b.m_strExtension;
        const std::string left(m_key.Of(a));
        return left == m_key.Of(b);
    }

private:
    FileNameKey m_key;
    bool m_compareTime;
    Size32 m_least;
};

// Items without content are copies of anything; two contents must be equal.
inline bool ContentsAgree(const CDatum& a, const CDatum& b) noexcept
{
    return a.m_strContent.empty() || b.m_strContent.empty() || a.m_strContent == b.m_strContent;
}

// Counts steps and looks at the cancel flag now and then.
class Steps {
public:
    explicit Steps(CopyProgress* progress) noexcept
        : m_progress(progress)
    {
    }
    // Adds `n` steps; true when the search is to stop.
    bool Add(std::size_t n) noexcept
    {
        m_pending += n;
        if (m_pending < kCheckEvery || !m_progress)
            return false;
        return Flush();
    }
    bool Flush() noexcept
    {
        if (!m_progress)
            return false;
        m_progress->Add(m_pending);
        m_pending = 0;
        return m_progress->Cancelled();
    }
    // The work is done: the figures show all of it (also where it could stop early).
    void Finish() noexcept
    {
        if (!m_progress)
            return;
        Flush();
        const std::uint64_t total = m_progress->Total(), done = m_progress->Done();
        if (done < total)
            m_progress->Add(total - done);
    }

private:
    CopyProgress* m_progress;
    std::size_t m_pending = 0;
};

// One data item during the search for duplicates: the item, and a key that
// holds the top bits of its hash above its place in library order (the low
// bits), so that sorting by the key puts equal hashes side by side in
// library order. Once grouped, the key holds the place alone.
struct Slot {
    std::uint64_t key;
    CDatum* datum;
};

// A group found, as a range of the grouped slots.
struct GroupRange {
    std::uint64_t wasted;
    std::uint32_t first;
    std::uint32_t count;
};

// Sorts by key: in place, by the top 8 bits into 256 buckets (each bucket
// is filled from its own front, so the writes go to 256 places that move
// forward, which the caches follow), then each bucket by the next 8 bits,
// down to ranges small enough for a plain sort.
void SortSlots(Slot* begin, Slot* end, int shift)
{
    constexpr std::size_t kSmall = 2048;
    if (static_cast<std::size_t>(end - begin) <= kSmall || shift < 0) {
        std::sort(begin, end, [](const Slot& a, const Slot& b) { return a.key < b.key; });
        return;
    }
    auto bucket = [shift](const Slot& s) { return static_cast<std::size_t>(s.key >> shift) & 0xFF; };
    std::size_t start[257] = {};
    for (const Slot* s = begin; s != end; ++s)
        ++start[bucket(*s) + 1];
    for (std::size_t b = 0; b < 256; ++b)
        start[b + 1] += start[b];
    std::size_t next[256];
    std::copy(start, start + 256, next);
    for (std::size_t b = 0; b < 256; ++b) {
        while (next[b] < start[b + 1]) {
            Slot s = begin[next[b]];
            std::size_t to = bucket(s);
            while (to != b) {
                std::swap(s, begin[next[to]++]);
                to = bucket(s);
            }
            begin[next[b]++] = s;
        }
    }
    for (std::size_t b = 0; b < 256; ++b)
        SortSlots(begin + start[b], begin + start[b + 1], shift - 8);
}

// Puts the items of one run of equal hashes into groups (see Copies.h).
class RunGrouper {
public:
    RunGrouper(
        CopyKeys& keys, std::uint64_t placeMask, std::vector<Slot>& slots, std::vector<GroupRange>& groups)
        : m_keys(keys)
        , m_placeMask(placeMask)
        , m_slots(slots)
        , m_groups(groups)
    {
    }

    // Groups slots [a, b), which hold one hash in library order, writing the
    // groups' items from Out() on (never past b).
    void Group(std::size_t a, std::size_t b)
    {
        if (AllOneGroup(a, b)) {
            const std::size_t first = m_out;
            for (std::size_t k = a; k < b; ++k)
                Emit({ m_slots[k].datum, m_slots[k].key & m_placeMask });
            Close(first);
            return;
        }
        m_run.clear();
        for (std::size_t k = a; k < b; ++k)
            m_run.push_back({ m_slots[k].datum, m_slots[k].key & m_placeMask });
        // Key classes, each in library order (hash collisions are rare).
        std::vector<std::size_t> reps, classOf;
        for (std::size_t i = 0; i < m_run.size(); ++i) {
            std::size_t c = 0;
            while (c < reps.size() && !m_keys.SameKey(*m_run[reps[c]].datum, *m_run[i].datum))
                ++c;
            if (c == reps.size())
                reps.push_back(i);
            classOf.push_back(c);
        }
        for (std::size_t c = 0; c < reps.size(); ++c) {
            m_class.clear();
            for (std::size_t i = 0; i < m_run.size(); ++i)
                if (classOf[i] == c)
                    m_class.push_back(m_run[i]);
            if (m_class.size() >= 2)
                GroupByContent();
        }
    }

    std::size_t Out() const noexcept { return m_out; }

private:
    struct Member {
        CDatum* datum;
        std::uint64_t place; // in library order
        std::uint64_t contentHash = 0;
    };

    // True when the run is one key with at most one distinct content.
    bool AllOneGroup(std::size_t a, std::size_t b)
    {
        const CDatum& first = *m_slots[a].datum;
        const CDatum* withContent = first.m_strContent.empty() ? nullptr : &first;
        for (std::size_t k = a + 1; k < b; ++k) {
            const CDatum& d = *m_slots[k].datum;
            if (!m_keys.SameKey(first, d))
                return false;
            if (d.m_strContent.empty())
                continue;
            if (!withContent)
                withContent = &d;
            else if (!(withContent->m_strContent == d.m_strContent))
                return false;
        }
        return true;
    }

    // m_class: the items of one key, in library order.
    void GroupByContent()
    {
        std::vector<Member> content, without;
        for (Member& m : m_class) {
            if (m.datum->m_strContent.empty()) {
                without.push_back(m);
            } else {
                m.contentHash = HashBytes(m.datum->m_strContent.view(), kK3);
                content.push_back(m);
            }
        }
        std::sort(content.begin(), content.end(), [](const Member& x, const Member& y) {
            return x.contentHash != y.contentHash ? x.contentHash < y.contentHash : x.place < y.place;
        });
        // Content classes: equal hashes, then equal bytes.
        std::vector<std::vector<Member>> classes;
        for (std::size_t i = 0; i < content.size();) {
            std::size_t j = i;
            while (j < content.size() && content[j].contentHash == content[i].contentHash)
                ++j;
            const std::size_t firstClass = classes.size();
            for (std::size_t k = i; k < j; ++k) {
                std::size_t c = firstClass;
                while (c < classes.size()
                    && !(classes[c].front().datum->m_strContent == content[k].datum->m_strContent))
                    ++c;
                if (c == classes.size())
                    classes.emplace_back();
                classes[c].push_back(content[k]);
            }
            i = j;
        }
        if (classes.size() <= 1) {
            const std::size_t first = m_out;
            for (const Member& m : m_class)
                Emit(m);
            Close(first);
            return;
        }
        // Contents differ: each content on its own, and those without content.
        classes.push_back(std::move(without));
        for (std::vector<Member>& c : classes) {
            if (c.size() < 2)
                continue;
            std::sort(c.begin(), c.end(), [](const Member& x, const Member& y) { return x.place < y.place; });
            const std::size_t first = m_out;
            for (const Member& m : c)
                Emit(m);
            Close(first);
        }
    }

    void Emit(const Member& m) { m_slots[m_out++] = { m.place, m.datum }; }

    void Close(std::size_t first)
    {
        const auto count = static_cast<std::uint32_t>(m_out - first);
        const std::uint64_t size = m_slots[first].datum->m_dwSize;
        m_groups.push_back({ size * (count - 1), static_cast<std::uint32_t>(first), count });
    }

    CopyKeys& m_keys;
    std::uint64_t m_placeMask;
    std::vector<Slot>& m_slots;
    std::vector<GroupRange>& m_groups;
    std::size_t m_out = 0;
    std::vector<Member> m_run, m_class;
};

std::size_t CountData(std::span<const CCategory* const> scopes)
{
    std::size_t n = 0;
    for (const CCategory& c : PreOrder(scopes))
        n += c.GetDatumList().size();
    return n;
}

} // namespace

std::span<CDatum* const> DuplicateGroups::Group(std::size_t g) const noexcept
{
    const std::size_t end = g + 1 < starts.size() ? starts[g + 1] : items.size();
    return { items.data() + starts[g], end - starts[g] };
}

Size32 DuplicateGroups::GroupSize(std::size_t g) const noexcept
{
    return items[starts[g]]->m_dwSize;
}

std::uint64_t DuplicateGroups::Wasted(std::size_t g) const noexcept
{
    return std::uint64_t { GroupSize(g) } * (Group(g).size() - 1);
}

std::uint64_t DuplicateGroups::TotalWasted() const noexcept
{
    std::uint64_t total = 0;
    for (std::size_t g = 0; g < GroupCount(); ++g)
        total += Wasted(g);
    return total;
}

DuplicateGroups FindDuplicates(const CCategory& scope, const CopyRule& rule, CopyProgress* progress)
{
    const CCategory* const scopes[] = { &scope };
    return FindDuplicates(std::span<const CCategory* const>(scopes), rule, progress);
}

DuplicateGroups FindDuplicates(
    std::span<const CCategory* const> scopes, const CopyRule& rule, CopyProgress* progress)
{
    DuplicateGroups result;
    CopyKeys keys(rule);
    Steps steps(progress);
    const std::size_t total = CountData(scopes);
    if (total >= 0xFFFFFFFFu)
        throw std::length_error("too many data items to compare");
    if (progress)
        progress->SetTotal(2 * std::uint64_t { total });
    // The low bits of a key hold the place, the others the top of the hash.
    const int placeBits = std::max(1, static_cast<int>(std::bit_width(total)));
    const std::uint64_t placeMask = (std::uint64_t { 1 } << placeBits) - 1;

    // 1. Every item considered, in library order, with the hash of its key.
    std::vector<Slot> slots;
    slots.reserve(total);
    for (const CCategory& c : PreOrder(scopes)) {
        const DatumList& data = c.GetDatumList();
        const std::size_t count = data.size();
        for (std::size_t i = 0; i < count; ++i) {
            if (i + kNameAhead < count)
                __builtin_prefetch(data[i + kNameAhead]);
            if (i + kNameAhead / 2 < count)
                __builtin_prefetch(data[i + kNameAhead / 2]->m_strName.data());
            CDatum* d = data[i];
            if (keys.Considered(*d))
                slots.push_back({ (keys.Hash(*d) & ~placeMask) | slots.size(), d });
        }
        if (steps.Add(count)) {
            result.cancelled = true;
            return result;
        }
    }

    // 2. Equal hashes side by side, in library order.
    if (progress)
        progress->SetTotal(std::uint64_t { total } + slots.size());
    SortSlots(slots.data(), slots.data() + slots.size(), 56);
    if (steps.Flush()) {
        result.cancelled = true;
        return result;
    }

    // 3. Runs of one hash become groups; their items move to the front.
    // The items of runs lie all over the heap: each run's items and names
    // are fetched ahead, so that many cache misses are under way at once.
    std::vector<GroupRange> groups;
    RunGrouper grouper(keys, placeMask, slots, groups);
    const std::size_t n = slots.size();
    auto sameHash
        = [&](std::size_t x, std::size_t y) { return ((slots[x].key ^ slots[y].key) & ~placeMask) == 0; };
    auto inRun
        = [&](std::size_t k) { return (k > 0 && sameHash(k - 1, k)) || (k + 1 < n && sameHash(k + 1, k)); };
    std::size_t ahead = 0;
    for (std::size_t a = 0; a < n;) {
        std::size_t b = a + 1;
        while (b < n && sameHash(a, b))
            ++b;
        for (; ahead < b + kItemAhead; ++ahead) {
            if (ahead < n && inRun(ahead))
                __builtin_prefetch(slots[ahead].datum);
            if (const std::size_t k = ahead - kItemAhead / 2; ahead >= kItemAhead / 2 && k < n && inRun(k))
                __builtin_prefetch(slots[k].datum->m_strName.data());
        }
        if (b - a >= 2)
            grouper.Group(a, b);
        if (steps.Add(b - a)) {
            result.cancelled = true;
            return result;
        }
        a = b;
    }

    // 4. Largest waste first, ties in library order.
    std::sort(groups.begin(), groups.end(), [&](const GroupRange& x, const GroupRange& y) {
        return x.wasted != y.wasted ? x.wasted > y.wasted : slots[x.first].key < slots[y.first].key;
    });
    result.items.reserve(grouper.Out());
    result.starts.reserve(groups.size());
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (i + 8 < groups.size())
            __builtin_prefetch(&slots[groups[i + 8].first]);
        const GroupRange& g = groups[i];
        result.starts.push_back(static_cast<std::uint32_t>(result.items.size()));
        for (std::uint32_t k = g.first; k < g.first + g.count; ++k)
            result.items.push_back(slots[k].datum);
    }
    steps.Finish();
    return result;
}

UniqueFiles FindUniqueFiles(std::span<const CCategory* const> all, const CCategory& category,
    const CopyRule& rule, CopyProgress* progress)
{
    UniqueFiles result;
    CopyKeys keys(rule);
    Steps steps(progress);
    if (progress)
        progress->SetTotal(CountData(all));

    // The items of the category, in library order.
    std::vector<CDatum*> inside;
    std::vector<std::uint64_t> hashes;
    for (const CCategory& c : PreOrder(category)) {
        for (CDatum* d : c.GetDatumList()) {
            if (!keys.Considered(*d))
                continue;
            inside.push_back(d);
            hashes.push_back(keys.Hash(*d));
        }
        if (steps.Add(c.GetDatumList().size())) {
            result.cancelled = true;
            return result;
        }
    }
    const std::size_t n = inside.size();
    if (n >= 0x7FFFFFFFu)
        throw std::length_error("too many data items to compare");

    // A table of their hashes (open addressing, at most half full; the
    // items of one hash chained), and a filter by size (and time), so that
    // most items elsewhere are dismissed without reading their names.
    struct Bucket {
        std::uint64_t hash;
        std::uint32_t head; // item + 1, 0 for an empty bucket
    };
    int bits = 4;
    while ((std::size_t { 1 } << bits) < 2 * n)
        ++bits;
    const std::size_t mask = (std::size_t { 1 } << bits) - 1;
    std::vector<Bucket> table(mask + 1, Bucket { 0, 0 });
    std::vector<std::uint32_t> next(n, 0); // item + 1 of the same hash, 0 for none
    const int filterBits = bits + 2;
    std::vector<std::uint64_t> filter((std::size_t { 1 } << filterBits) / 64, 0);
    auto filterBit = [&](const CDatum& d) { return keys.SizeHash(d) >> (64 - filterBits); };
    auto home = [&](std::uint64_t h) { return static_cast<std::size_t>(h >> (64 - bits)); };
    auto find = [&](std::uint64_t h) -> Bucket& {
        std::size_t pos = home(h);
        while (table[pos].head != 0 && table[pos].hash != h)
            pos = (pos + 1) & mask;
        return table[pos];
    };
    for (std::size_t i = 0; i < n; ++i) {
        Bucket& b = find(hashes[i]);
        b.hash = hashes[i];
        next[i] = b.head;
        b.head = static_cast<std::uint32_t>(i + 1);
        const std::uint64_t bit = filterBit(*inside[i]);
        filter[bit / 64] |= std::uint64_t { 1 } << (bit % 64);
    }
    std::vector<std::uint64_t>().swap(hashes);

    // Every item elsewhere marks the items it is a copy of, until none is
    // left. Items elsewhere are looked up in batches: each one's bucket is
    // fetched into the cache as soon as its hash is known, and read when the
    // batch is full, so that the table's cache misses overlap.
    std::vector<bool> hasCopy(n, false);
    std::size_t left = n;
    struct Probe {
        const CDatum* datum;
        std::uint64_t hash;
    };
    constexpr std::size_t kBatch = 32;
    Probe batch[kBatch];
    std::size_t batched = 0;
    auto lookUp = [&] {
        for (std::size_t p = 0; p < batched; ++p) {
            const CDatum& d = *batch[p].datum;
            for (std::uint32_t k = find(batch[p].hash).head; k != 0; k = next[k - 1]) {
                const std::size_t x = k - 1;
                if (!hasCopy[x] && keys.SameKey(*inside[x], d) && ContentsAgree(*inside[x], d)) {
                    hasCopy[x] = true;
                    --left;
                }
            }
        }
        batched = 0;
    };
    ConstCategoryWalk walk(all);
    while (left > 0 && walk.Next()) {
        if (!walk.Entering())
            continue;
        const CCategory& c = walk.Current();
        if (&c == &category) {
            walk.SkipChildren();
            continue;
        }
        const DatumList& data = c.GetDatumList();
        const std::size_t count = data.size();
        for (std::size_t i = 0; i < count; ++i) {
            if (i + kNameAhead < count)
                __builtin_prefetch(data[i + kNameAhead]);
            if (i + kNameAhead / 2 < count)
                __builtin_prefetch(data[i + kNameAhead / 2]->m_strName.data());
            const CDatum& d = *data[i];
            if (!keys.Considered(d))
                continue;
            const std::uint64_t bit = filterBit(d);
            if (!(filter[bit / 64] >> (bit % 64) & 1))
                continue;
            const std::uint64_t h = keys.Hash(d);
            __builtin_prefetch(&table[home(h)]);
            batch[batched++] = { &d, h };
            if (batched == kBatch)
                lookUp();
        }
        if (steps.Add(count)) {
            result.cancelled = true;
            return result;
        }
    }
    lookUp();

    for (std::size_t i = 0; i < n; ++i) {
        if (!hasCopy[i]) {
            result.items.push_back(inside[i]);
            result.bytes += inside[i]->m_dwSize;
        }
    }
    steps.Finish();
    return result;
}

std::string FormatByteAmount(std::uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + " Byte";
    static const char* const kUnits[] = { "KB", "MB", "GB", "TB" };
    double value = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    // Moves up a unit also where rounding to one decimal would show 1024.0.
    while (value >= 1023.95 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

} // namespace tessary
