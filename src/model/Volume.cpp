#include "Volume.h"

#include "Category.h"
#include "Datum.h"
#include "MountSource.h"
#include "MountTable.h"
#include "TextCodec.h"

#include <algorithm>

namespace tessary {

namespace {

// ---------------------------------------------------------------- payload

void PutLe(std::string& out, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(v >> (8 * i));
}

void PutText(std::string& out, std::string_view text)
{
    PutLe(out, text.size(), 4);
    out += text;
}

// Reads the payload's fields in order; any read past the end fails.
class PayloadReader {
public:
    explicit PayloadReader(std::string_view bytes)
        : m_rest(bytes)
    {
    }
    bool Number(std::uint64_t& v, int bytes)
    {
        if (m_rest.size() < static_cast<std::size_t>(bytes))
            return false;
        v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(m_rest[static_cast<std::size_t>(i)]);
        m_rest.remove_prefix(static_cast<std::size_t>(bytes));
        return true;
    }
    bool Text(std::string& t)
    {
        std::uint64_t n;
        if (!Number(n, 4) || n > m_rest.size())
            return false;
        t.assign(m_rest.substr(0, static_cast<std::size_t>(n)));
        m_rest.remove_prefix(static_cast<std::size_t>(n));
        return true;
    }

private:
    std::string_view m_rest;
};

// ---------------------------------------------------------------- paths

// `rel` (starting with a separator, "/" for the top) below `base`.
std::string JoinPath(std::string_view base, std::string_view rel)
{
    if (rel.empty() || rel == "/")
        return std::string(base);
    if (!base.empty() && base.back() == '/')
        base.remove_suffix(1);
    std::string path(base);
    if (rel.front() != '/')
        path += '/';
    path += rel;
    return path;
}

// `path` from `prefix` on ("/" when equal), or nothing when `prefix` is not
// a leading folder of it.
std::optional<std::string> RelativeTo(std::string_view path, std::string_view prefix)
{
    if (prefix.size() > 1 && prefix.back() == '/')
        prefix.remove_suffix(1);
    if (path == prefix)
        return std::string("/");
    if (prefix == "/")
        return path.starts_with('/') ? std::optional<std::string>(std::string(path)) : std::nullopt;
    if (path.size() > prefix.size() && path.starts_with(prefix) && path[prefix.size()] == '/')
        return std::string(path.substr(prefix.size()));
    return std::nullopt;
}

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

const MountedVolume* LongestMount(const std::vector<MountedVolume>& volumes, std::string_view path)
{
    const MountedVolume* best = nullptr;
    std::size_t bestLength = 0;
    for (const MountedVolume& v : volumes) {
        // Later mounts cover earlier ones at the same place: >= keeps the last.
        if (RelativeTo(path, v.mountPoint) && (!best || v.mountPoint.size() >= bestLength)) {
            best = &v;
            bestLength = v.mountPoint.size();
        }
    }
    return best;
}

// Keeps those of `found` that meet `keep`, when there is a choice and some do.
template <class Keep> void Narrow(std::vector<const MountedVolume*>& found, Keep keep)
{
    if (found.size() < 2)
        return;
    std::vector<const MountedVolume*> kept;
    for (const MountedVolume* v : found)
        if (keep(*v))
            kept.push_back(v);
    if (!kept.empty())
        found.swap(kept);
}

// The imported category whose path the entry's path starts from: the entry
// itself or the first ancestor that is not a folder category, when it has a path.
const CPathCategory* ImportedTop(const CItem& entry)
{
    const CItem* p = &entry;
    if (entry.IsDatum()) {
        if (entry.GetClassId() != ClassId::FileDatum)
            return nullptr;
        p = entry.GetParent();
    }
    while (p && p->GetClassId() == ClassId::FolderCategory)
        p = p->GetParent();
    return p && HasPath(p->GetClassId()) ? static_cast<const CPathCategory*>(p) : nullptr;
}

} // namespace

std::string EncodeVolumeRecord(const VolumeRecord& r)
{
    std::string out;
    PutText(out, r.uuid);
    PutText(out, r.label);
    PutText(out, r.fsType);
    PutLe(out, r.capacity, 8);
    PutLe(out, r.freeBytes, 8);
    PutText(out, r.mountPoint);
    PutText(out, r.pathInVolume);
    PutLe(out, static_cast<std::uint64_t>(r.scanTime), 8);
    PutText(out, r.host);
    return out;
}

std::optional<VolumeRecord> DecodeVolumeRecord(std::string_view payload)
{
    PayloadReader in(payload);
    VolumeRecord r;
    std::uint64_t scanTime = 0;
    if (!in.Text(r.uuid) || !in.Text(r.label) || !in.Text(r.fsType) || !in.Number(r.capacity, 8)
        || !in.Number(r.freeBytes, 8) || !in.Text(r.mountPoint) || !in.Text(r.pathInVolume)
        || !in.Number(scanTime, 8) || !in.Text(r.host))
        return std::nullopt;
    r.scanTime = static_cast<std::int64_t>(scanTime);
    return r;
}

CVolumeTable::CVolumeTable(std::vector<MountedVolume> volumes)
    : m_volumes(std::move(volumes))
{
    Index();
}

void CVolumeTable::Index()
{
    m_byUuid.clear();
    m_byUuid.reserve(m_volumes.size());
    for (std::size_t i = 0; i < m_volumes.size(); ++i)
        if (!m_volumes[i].uuid.empty())
            m_byUuid.emplace(Lower(m_volumes[i].uuid), i);
}

CVolumeTable CVolumeTable::Read(IMountSource& source, const CVolumeTable* previous)
{
    std::vector<MountedVolume> volumes = ParseMountTable(source.MountInfo());
    std::erase_if(volumes, [](const MountedVolume& v) { return IsPseudoFileSystemType(v.fsType); });
    for (MountedVolume& v : volumes) {
        const MountedVolume* known = nullptr;
        if (previous)
            for (const MountedVolume& p : previous->m_volumes)
                if (p.mountId == v.mountId && p.device == v.device && p.source == v.source)
                    known = &p;
        if (known) {
            v.uuid = known->uuid;
            v.label = known->label;
            v.capacity = known->capacity;
            v.freeBytes = known->freeBytes;
            continue;
        }
        source.Identify(v);
        // Space is read for local devices only: asking a network share that
        // is gone may block.
        if (v.source.starts_with("/dev/"))
            source.Space(v.mountPoint, v.capacity, v.freeBytes);
    }
    return CVolumeTable(std::move(volumes));
}

VolumeMatch CVolumeTable::Match(const VolumeRecord& record) const
{
    std::vector<const MountedVolume*> found;
    auto consider = [&](const MountedVolume& v) {
        if (!FolderOnVolume(record, v))
            return;
        // One mount per device: the same file system mounted twice is one volume.
        for (const MountedVolume*& f : found) {
            if (f->device == v.device && f->source == v.source) {
                if (f->root != "/" && v.root == "/")
                    f = &v;
                return;
            }
        }
        found.push_back(&v);
    };
    if (!record.uuid.empty()) {
        auto [first, last] = m_byUuid.equal_range(Lower(record.uuid));
        std::vector<std::size_t> indexes;
        for (auto it = first; it != last; ++it)
            indexes.push_back(it->second);
        std::sort(indexes.begin(), indexes.end());
        for (std::size_t i : indexes)
            consider(m_volumes[i]);
    } else {
        const std::string type = GbToDisk(record.fsType);
        const std::string mountPoint = GbToDisk(record.mountPoint);
        for (const MountedVolume& v : m_volumes)
            if (v.fsType == type && v.mountPoint == mountPoint)
                consider(v);
        if (found.empty() && !record.label.empty()) {
            const std::string label = GbToDisk(record.label);
            for (const MountedVolume& v : m_volumes)
                if (v.fsType == type && v.label == label)
                    consider(v);
        }
    }
    if (found.size() > 1) {
        const std::string label = GbToDisk(record.label);
        Narrow(found, [&](const MountedVolume& v) { return v.label == label; });
        Narrow(found, [&](const MountedVolume& v) { return v.capacity == record.capacity; });
    }
    VolumeMatch match;
    match.state = found.empty() ? VolumeMatch::State::Offline
        : found.size() == 1     ? VolumeMatch::State::Connected
                                : VolumeMatch::State::Ambiguous;
    match.volumes = std::move(found);
    return match;
}

const MountedVolume* CVolumeTable::VolumeAt(std::string_view realPath) const
{
    return LongestMount(m_volumes, realPath);
}

std::optional<std::string> FolderOnVolume(const VolumeRecord& record, const MountedVolume& volume)
{
    std::optional<std::string> rel = RelativeTo(GbToDisk(record.pathInVolume), volume.root);
    if (!rel)
        return std::nullopt;
    return JoinPath(volume.mountPoint, *rel);
}

std::optional<VolumeRecord> IdentifyVolumeAt(IMountSource& source, const std::string& diskPath)
{
    const std::string real = source.RealPath(diskPath);
    if (real.empty())
        return std::nullopt;
    std::vector<MountedVolume> volumes = ParseMountTable(source.MountInfo());
    std::erase_if(volumes, [](const MountedVolume& v) { return IsPseudoFileSystemType(v.fsType); });
    const MountedVolume* found = LongestMount(volumes, real);
    if (!found)
        return std::nullopt;
    MountedVolume v = *found;
    source.Identify(v);
    VolumeRecord r;
    r.uuid = DiskToGb(v.uuid);
    r.label = DiskToGb(v.label);
    r.fsType = DiskToGb(v.fsType);
    source.Space(real, r.capacity, r.freeBytes);
    r.mountPoint = DiskToGb(v.mountPoint);
    r.pathInVolume = DiskToGb(JoinPath(v.root, *RelativeTo(real, v.mountPoint)));
    r.scanTime = source.Now();
    r.host = DiskToGb(source.HostName());
    return r;
}

VolumeRecord LinkRecord(const CPathCategory& category, const MountedVolume& volume, IMountSource& source)
{
    const std::string stored = GbToDisk(category.m_strPath.view());
    std::string inside = "/";
    if (stored.size() >= 2 && stored[1] == ':'
        && ((stored[0] >= 'A' && stored[0] <= 'Z') || (stored[0] >= 'a' && stored[0] <= 'z'))) {
        // A drive letter: the rest is the folder on that drive.
        std::string rest = stored.substr(2);
        std::replace(rest.begin(), rest.end(), '\\', '/');
        while (rest.size() > 1 && rest.back() == '/')
            rest.pop_back();
        if (!rest.empty() && rest != "/")
            inside = rest.front() == '/' ? rest : "/" + rest;
    } else if (std::optional<std::string> rel = RelativeTo(stored, volume.mountPoint)) {
        inside = JoinPath(volume.root, *rel);
    } else {
        inside = volume.root;
    }
    VolumeRecord r;
    r.uuid = DiskToGb(volume.uuid);
    r.label = DiskToGb(volume.label);
    r.fsType = DiskToGb(volume.fsType);
    r.capacity = volume.capacity;
    r.freeBytes = volume.freeBytes;
    source.Space(volume.mountPoint, r.capacity, r.freeBytes);
    r.mountPoint = DiskToGb(volume.mountPoint);
    r.pathInVolume = DiskToGb(inside);
    r.scanTime = 0;
    r.host = DiskToGb(source.HostName());
    return r;
}

EntryLocation LocateEntry(const CItem& entry, const CVolumeTable& table, const MountedVolume* chosen)
{
    EntryLocation where;
    const std::string stored = entry.GetPath();
    where.top = ImportedTop(entry);
    where.volume = where.top ? where.top->GetVolume() : nullptr;
    const std::string_view top = where.top ? where.top->m_strPath.view() : std::string_view();
    if (!where.volume || !std::string_view(stored).starts_with(top)) {
        where.diskPath = GbToDisk(stored);
        return where;
    }
    VolumeMatch match = table.Match(*where.volume);
    const MountedVolume* volume = nullptr;
    if (chosen && FolderOnVolume(*where.volume, *chosen))
        volume = chosen;
    else if (match.state == VolumeMatch::State::Connected)
        volume = match.volumes.front();
    if (!volume) {
        where.state = match.state == VolumeMatch::State::Ambiguous ? EntryLocation::State::Ambiguous
                                                                   : EntryLocation::State::Offline;
        where.candidates = std::move(match.volumes);
        where.diskPath = GbToDisk(stored);
        return where;
    }
    where.state = EntryLocation::State::Connected;
    where.diskPath = *FolderOnVolume(*where.volume, *volume);
    std::string below = GbToDisk(std::string_view(stored).substr(top.size()));
    if (!where.diskPath.empty() && where.diskPath.back() == '/' && below.starts_with('/'))
        where.diskPath.pop_back();
    where.diskPath += below;
    return where;
}

namespace {

std::string OfflineDetail(const VolumeRecord& record, bool ambiguous)
{
    std::string volume = "volume '" + GbToUtf8(record.label) + "'";
    if (!record.uuid.empty())
        volume += " (UUID " + GbToUtf8(record.uuid) + ")";
    return ambiguous ? "several connected volumes are " + volume + "; choose one"
                     : volume + " is not connected; insert it";
}

} // namespace

VolumeOfflineError::VolumeOfflineError(
    const std::string& storedDiskPath, const VolumeRecord& record, bool ambiguous)
    : FileError(FileErrorCause::NotFound, storedDiskPath, 0, OfflineDetail(record, ambiguous))
    , m_record(record)
    , m_ambiguous(ambiguous)
{
}

std::string DiskPathOrThrow(const EntryLocation& where)
{
    if ((where.state == EntryLocation::State::Offline || where.state == EntryLocation::State::Ambiguous)
        && where.volume)
        throw VolumeOfflineError(
            where.diskPath, *where.volume, where.state == EntryLocation::State::Ambiguous);
    return where.diskPath;
}

std::string ShortUuid(std::string_view uuid)
{
    return std::string(uuid.substr(0, 8));
}

} // namespace tessary
