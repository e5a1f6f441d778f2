#include "ExtensionRecords.h"

#include "Archive.h"
#include "Category.h"
#include "Checksum.h"
#include "Datum.h"
#include "EntryWalk.h"
#include "Volume.h"

#include <algorithm>
#include <future>
#include <optional>
#include <system_error>

namespace tessary {

namespace {

// One kind of record attached to categories.
struct CategoryKind {
    RecordKind kind;
    // Sets `payload` to the record of `category` and answers true, or
    // answers false when it has none.
    bool (*encode)(const CCategory& category, std::string& payload);
    // Attaches a record to `category`; false with `why` when it does not fit.
    bool (*attach)(CCategory& category, std::string_view payload, std::string& why);
};

bool EncodeVolume(const CCategory& category, std::string& payload)
{
    if (!HasPath(category.GetClassId()))
        return false;
    const VolumeRecord* volume = static_cast<const CPathCategory&>(category).GetVolume();
    if (!volume)
        return false;
    payload = EncodeVolumeRecord(*volume);
    return true;
}

bool AttachVolume(CCategory& category, std::string_view payload, std::string& why)
{
    if (!HasPath(category.GetClassId())) {
        why = "a volume record names a category that is not a CD, drive or folder import";
        return false;
    }
    std::optional<VolumeRecord> record = DecodeVolumeRecord(payload);
    if (!record) {
        why = "a volume record ends inside a field";
        return false;
    }
    static_cast<CPathCategory&>(category).SetVolume(record);
    return true;
}

constexpr CategoryKind kCategoryKinds[] = {
    { RecordKind::Volume, EncodeVolume, AttachVolume },
};

// One kind of record attached to data items.
struct DatumKind {
    RecordKind kind;
    bool (*encode)(const CDatum& datum, std::string& payload);
    bool (*attach)(CDatum& datum, std::string_view payload, std::string& why);
};

// A document's text: a DWORD length and the UTF-8 bytes.
bool EncodeText(const CDatum& datum, std::string& payload)
{
    if (datum.m_strText.empty())
        return false;
    const std::string_view text = datum.m_strText.view();
    const auto n = static_cast<std::uint32_t>(text.size());
    payload.reserve(4 + text.size());
    for (int shift = 0; shift < 32; shift += 8)
        payload += static_cast<char>((n >> shift) & 0xFFu);
    payload.append(text);
    return true;
}

bool AttachText(CDatum& datum, std::string_view payload, std::string& why)
{
    if (payload.size() < 4) {
        why = "a document text record ends inside its length";
        return false;
    }
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i)
        n = (n << 8) | static_cast<unsigned char>(payload[static_cast<std::size_t>(i)]);
    if (payload.size() - 4 < n) {
        why = "a document text record ends inside its text";
        return false;
    }
    datum.m_strText = payload.substr(4, n);
    return true;
}

constexpr DatumKind kDatumKinds[] = {
    { RecordKind::DocumentText, EncodeText, AttachText },
};

template <class Kinds> bool InTable(const Kinds& kinds, std::uint16_t kind)
{
    return std::any_of(std::begin(kinds), std::end(kinds),
        [kind](const auto& k) { return static_cast<std::uint16_t>(k.kind) == kind; });
}

bool IsKnownKind(std::uint16_t kind)
{
    return InTable(kCategoryKinds, kind) || InTable(kDatumKinds, kind);
}

// The checksum of the archive bytes before the block. When the file's last
// bytes announce where the archive ends, a big archive's checksum is
// computed on another thread while its roots are read.
class ArchiveChecksum {
public:
    static constexpr std::size_t kParallelFrom = 8u << 20;

    // Starts on the first `length` bytes when they are many (0: nothing).
    ArchiveChecksum(std::string_view data, std::uint64_t length)
        : m_data(data)
    {
        if (length < kParallelFrom || length > data.size())
            return;
        m_length = static_cast<std::size_t>(length);
        try {
            m_pending = std::async(
                std::launch::async, [prefix = data.substr(0, m_length)] { return Checksum64::Of(prefix); });
        } catch (const std::system_error&) {
            // no thread to spare: computed when asked
        }
    }

    std::uint64_t Of(std::size_t length)
    {
        if (m_pending.valid() && length == m_length)
            return m_pending.get();
        return Checksum64::Of(m_data.substr(0, length));
    }

private:
    std::string_view m_data;
    std::size_t m_length = 0;
    std::future<std::uint64_t> m_pending; // waited for when destroyed
};

void Warn(std::vector<LibraryWarning>* warnings, LibraryWarning::Kind kind, std::string detail)
{
    if (warnings)
        warnings->push_back({ kind, std::move(detail) });
}

} // namespace

void AppendRecordsOf(const CCategory& category, std::uint32_t number, std::vector<ExtensionRecord>& records)
{
    for (const CategoryKind& kind : kCategoryKinds) {
        std::string payload;
        if (kind.encode(category, payload))
            records.push_back({ static_cast<std::uint16_t>(kind.kind), number, std::move(payload) });
    }
}

void AppendRecordsOf(const CDatum& datum, std::uint32_t number, std::vector<ExtensionRecord>& records)
{
    for (const DatumKind& kind : kDatumKinds) {
        std::string payload;
        if (kind.encode(datum, payload))
            records.push_back({ static_cast<std::uint16_t>(kind.kind), number, std::move(payload) });
    }
}

std::vector<ExtensionRecord> CollectRecords(std::span<const CCategory* const> roots)
{
    std::vector<ExtensionRecord> records;
    std::uint64_t next = 0; // the number of the next entry in file order
    ConstCategoryWalk walk(roots);
    while (walk.Next()) {
        const CCategory& c = walk.Current();
        if (!walk.Entering()) {
            // Its data items follow its subtrees.
            for (const CDatum* d : c.GetDatumList())
                AppendRecordsOf(*d, static_cast<std::uint32_t>(next++), records);
            continue;
        }
        AppendRecordsOf(c, static_cast<std::uint32_t>(next++), records);
    }
    return records;
}

std::vector<std::uint32_t> WantedEntries(const std::vector<ExtensionRecord>& records)
{
    std::vector<std::uint32_t> numbers;
    for (const ExtensionRecord& r : records)
        if (IsKnownKind(r.kind))
            numbers.push_back(r.entry);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

RecordsApplied ApplyRecords(std::span<const std::uint32_t> numbers, std::span<CItem* const> entries,
    std::vector<ExtensionRecord> records)
{
    RecordsApplied result;
    auto drop = [&result](const std::string& why) {
        if (result.dropped++ == 0)
            result.firstProblem = why;
    };
    for (const ExtensionRecord& r : records) {
        auto kind = std::find_if(std::begin(kCategoryKinds), std::end(kCategoryKinds),
            [&r](const CategoryKind& k) { return static_cast<std::uint16_t>(k.kind) == r.kind; });
        auto datumKind = std::find_if(std::begin(kDatumKinds), std::end(kDatumKinds),
            [&r](const DatumKind& k) { return static_cast<std::uint16_t>(k.kind) == r.kind; });
        if (kind == std::end(kCategoryKinds) && datumKind == std::end(kDatumKinds)) {
            ++result.unknownKind;
            continue;
        }
        const std::string which = " (entry " + std::to_string(r.entry) + ")";
        auto at = std::lower_bound(numbers.begin(), numbers.end(), r.entry);
        CItem* entry = at != numbers.end() && *at == r.entry
                && static_cast<std::size_t>(at - numbers.begin()) < entries.size()
            ? entries[static_cast<std::size_t>(at - numbers.begin())]
            : nullptr;
        if (!entry) {
            drop("a record names an entry the library does not have" + which);
            continue;
        }
        if (entry->IsDatum() != (datumKind != std::end(kDatumKinds))) {
            drop(entry->IsDatum() ? "a category's record names a data item" + which
                                  : "a data item's record names a category" + which);
            continue;
        }
        std::string why;
        if (entry->IsDatum() ? datumKind->attach(static_cast<CDatum&>(*entry), r.payload, why)
                             : kind->attach(static_cast<CCategory&>(*entry), r.payload, why))
            ++result.applied;
        else
            drop(why + which);
    }
    return result;
}

void CBlockReading::Announce(const std::optional<ExtensionTrailer>& trailer, std::string_view block)
{
    m_trailer = trailer;
    if (!trailer)
        return;
    m_block = ParseExtensionBlock(block, trailer->archiveLength);
    if (m_block.problem == ExtensionProblem::None)
        m_wanted = WantedEntries(m_block.records);
}

std::uint64_t CBlockReading::ChecksumLength() const noexcept
{
    return m_trailer && m_block.problem == ExtensionProblem::None ? m_trailer->archiveLength : 0;
}

void CBlockReading::Settle(std::uint64_t rootsEnd, const std::function<std::string()>& tail,
    const std::function<std::uint64_t()>& checksum, std::vector<LibraryWarning>* warnings)
{
    ExtensionParse block;
    if (m_trailer && rootsEnd == m_trailer->archiveLength) {
        block = std::move(m_block);
        if (block.problem == ExtensionProblem::None && checksum() != block.archiveChecksum) {
            block.problem = ExtensionProblem::NotMatching;
            block.detail
                = "the library before the block is not the one it was written for (its checksum differs)";
        }
    } else {
        // Not where a block was announced: say why, when the bytes are ours.
        const std::string bytes = tail();
        if (bytes.empty())
            return;
        block = ParseExtensionBlock(bytes, rootsEnd);
        if (block.problem == ExtensionProblem::None)
            return; // someone else's bytes
    }
    switch (block.problem) {
    case ExtensionProblem::None:
        break;
    case ExtensionProblem::Damaged:
        Warn(warnings, LibraryWarning::Kind::ExtensionDamaged, block.detail);
        return;
    case ExtensionProblem::NotMatching:
        Warn(warnings, LibraryWarning::Kind::ExtensionNotMatching, block.detail);
        return;
    case ExtensionProblem::NewerVersion:
        Warn(warnings, LibraryWarning::Kind::ExtensionNewer, block.detail);
        return;
    }
    RecordsApplied applied = ApplyRecords(m_wanted, m_found, std::move(block.records));
    if (applied.dropped)
        Warn(warnings, LibraryWarning::Kind::RecordsDropped,
            std::to_string(applied.dropped)
                + " record(s) of the extension block were dropped; the first: " + applied.firstProblem);
}

RootList ReadLibrary(std::string_view data, std::vector<LibraryWarning>* warnings)
{
    CBlockReading block;
    const std::optional<ExtensionTrailer> trailer = FindExtensionTrailer(data);
    block.Announce(trailer, trailer ? data.substr(trailer->archiveLength) : std::string_view());
    // A big archive's checksum is computed on another thread meanwhile.
    ArchiveChecksum checksum(data, block.ChecksumLength());
    std::size_t end = 0;
    RootList roots = ReadLibraryRoots(data, end, block.Wanted(), &block.Found());
    if (end == data.size())
        return roots;
    block.Settle(
        end, [&] { return std::string(data.substr(end)); }, [&] { return checksum.Of(end); }, warnings);
    return roots;
}

} // namespace tessary
