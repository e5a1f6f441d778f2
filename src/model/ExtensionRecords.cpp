#include "ExtensionRecords.h"

#include "Archive.h"
#include "Category.h"
#include "Checksum.h"
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

bool IsKnownKind(std::uint16_t kind)
{
    return std::any_of(std::begin(kCategoryKinds), std::end(kCategoryKinds),
        [kind](const CategoryKind& k) { return static_cast<std::uint16_t>(k.kind) == kind; });
}

// The checksum of the archive bytes before the block. When the file's last
// bytes announce where the archive ends, a big archive's checksum is
// computed on another thread while its roots are read.
class ArchiveChecksum {
public:
    static constexpr std::size_t kParallelFrom = 8u << 20;

    ArchiveChecksum(std::string_view data)
        : m_data(data)
    {
        std::optional<ExtensionTrailer> trailer = FindExtensionTrailer(data);
        if (!trailer || trailer->archiveLength < kParallelFrom)
            return;
        m_length = static_cast<std::size_t>(trailer->archiveLength);
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

std::vector<ExtensionRecord> CollectRecords(std::span<const CCategory* const> roots)
{
    std::vector<ExtensionRecord> records;
    std::uint64_t next = 0; // the number of the next entry in file order
    ConstCategoryWalk walk(roots);
    while (walk.Next()) {
        const CCategory& c = walk.Current();
        if (!walk.Entering()) {
            next += c.GetDatumList().size(); // its data items follow its subtrees
            continue;
        }
        const std::uint64_t number = next++;
        for (const CategoryKind& kind : kCategoryKinds) {
            std::string payload;
            if (kind.encode(c, payload))
                records.push_back({ static_cast<std::uint16_t>(kind.kind), static_cast<std::uint32_t>(number),
                    std::move(payload) });
        }
    }
    return records;
}

RecordsApplied ApplyRecords(std::span<CCategory* const> roots, std::vector<ExtensionRecord> records)
{
    RecordsApplied result;
    auto drop = [&result](const std::string& why) {
        if (result.dropped++ == 0)
            result.firstProblem = why;
    };
    std::stable_sort(records.begin(), records.end(),
        [](const ExtensionRecord& a, const ExtensionRecord& b) { return a.entry < b.entry; });
    std::size_t i = 0;
    std::uint64_t next = 0;
    CategoryWalk walk(roots);
    while (i < records.size() && walk.Next()) {
        CCategory& c = walk.Current();
        if (!walk.Entering()) {
            // Records naming its data items: no kind describes data items yet.
            next += c.GetDatumList().size();
            for (; i < records.size() && records[i].entry < next; ++i) {
                if (IsKnownKind(records[i].kind))
                    drop("a record names a data item (entry " + std::to_string(records[i].entry) + ")");
                else
                    ++result.unknownKind;
            }
            continue;
        }
        const std::uint64_t number = next++;
        for (; i < records.size() && records[i].entry == number; ++i) {
            const ExtensionRecord& r = records[i];
            auto kind = std::find_if(std::begin(kCategoryKinds), std::end(kCategoryKinds),
                [&r](const CategoryKind& k) { return static_cast<std::uint16_t>(k.kind) == r.kind; });
            if (kind == std::end(kCategoryKinds)) {
                ++result.unknownKind;
                continue;
            }
            std::string why;
            if (kind->attach(c, r.payload, why))
                ++result.applied;
            else
                drop(why + " (entry " + std::to_string(r.entry) + ")");
        }
    }
    for (; i < records.size(); ++i) {
        if (IsKnownKind(records[i].kind))
            drop("a record names entry " + std::to_string(records[i].entry)
                + ", which the library does not have");
        else
            ++result.unknownKind;
    }
    return result;
}

RootList ReadLibrary(std::string_view data, std::vector<LibraryWarning>* warnings)
{
    ArchiveChecksum checksum(data);
    std::size_t end = 0;
    RootList roots = ReadLibraryRoots(data, end);
    if (end == data.size())
        return roots;

    ExtensionParse block = ParseExtensionBlock(data.substr(end), end, [&] { return checksum.Of(end); });
    switch (block.problem) {
    case ExtensionProblem::None:
        break;
    case ExtensionProblem::Damaged:
        Warn(warnings, LibraryWarning::Kind::ExtensionDamaged, block.detail);
        return roots;
    case ExtensionProblem::NotMatching:
        Warn(warnings, LibraryWarning::Kind::ExtensionNotMatching, block.detail);
        return roots;
    case ExtensionProblem::NewerVersion:
        Warn(warnings, LibraryWarning::Kind::ExtensionNewer, block.detail);
        return roots;
    }
    if (block.records.empty())
        return roots;
    std::vector<CCategory*> tops;
    tops.reserve(roots.size());
    for (const auto& r : roots)
        tops.push_back(r.get());
    RecordsApplied applied = ApplyRecords(tops, std::move(block.records));
    if (applied.dropped)
        Warn(warnings, LibraryWarning::Kind::RecordsDropped,
            std::to_string(applied.dropped)
                + " record(s) of the extension block were dropped; the first: " + applied.firstProblem);
    return roots;
}

} // namespace tessary
