// tessary-cli volumes: which volume each imported category was scanned
// from, and whether it is connected now.

#include "CliSupport.h"
#include "CommandRun.h"
#include "Commands.h"
#include "Document.h"
#include "EntryWalk.h"
#include "Json.h"
#include "TextCodec.h"
#include "Volume.h"

#include <algorithm>
#include <limits>

namespace tessary::cli {

namespace {

const char* StateId(EntryLocation::State state)
{
    switch (state) {
    case EntryLocation::State::Connected:
        return "connected";
    case EntryLocation::State::Offline:
        return "offline";
    case EntryLocation::State::Ambiguous:
        return "ambiguous";
    case EntryLocation::State::AsStored:
        break;
    }
    return "unknown";
}

std::string ScanTimeText(std::int64_t t)
{
    if (t == 0)
        return {};
    constexpr std::int64_t lo = std::numeric_limits<Time32>::min(), hi = std::numeric_limits<Time32>::max();
    return FormatTime(static_cast<Time32>(std::clamp(t, lo, hi)));
}

// One imported category: where it sits, and what is known of its volume.
struct Row {
    std::string position; // "@0/2"
    const CPathCategory* category;
    EntryLocation where;
};

// Where the volume is now: its mount points (one when connected, the
// candidates when ambiguous), as UTF-8.
std::vector<std::string> MountedAt(const EntryLocation& where)
{
    std::vector<std::string> at;
    if (where.state == EntryLocation::State::Connected)
        at.push_back(GbToUtf8(DiskToGb(where.diskPath)));
    for (const MountedVolume* v : where.candidates)
        at.push_back(GbToUtf8(DiskToGb(v->mountPoint)));
    return at;
}

void WriteText(Output& out, const std::vector<Row>& rows)
{
    out << "category\tname\ttype\tpath\tstate\tnow at\tuuid\tlabel\tfile system\tcapacity\tfree at scan\t"
           "scanned at\tfolder in volume\tscan time\thost\n";
    for (const Row& r : rows) {
        const CPathCategory& c = *r.category;
        out << std::string_view(r.position) << '\t' << std::string_view(GbToUtf8(c.m_strName.view())) << '\t'
            << std::string_view(GbToUtf8(c.GetTypeText())) << '\t'
            << std::string_view(GbToUtf8(c.m_strPath.view())) << '\t'
            << std::string_view(c.GetVolume() ? StateId(r.where.state) : "no record") << '\t';
        std::vector<std::string> at = MountedAt(r.where);
        for (std::size_t i = 0; i < at.size(); ++i)
            out << std::string_view(i ? ", " : "") << std::string_view(at[i]);
        if (const VolumeRecord* v = c.GetVolume()) {
            out << '\t' << std::string_view(GbToUtf8(v->uuid)) << '\t' << std::string_view(GbToUtf8(v->label))
                << '\t' << std::string_view(GbToUtf8(v->fsType)) << '\t' << v->capacity << '\t'
                << v->freeBytes << '\t' << std::string_view(GbToUtf8(v->mountPoint)) << '\t'
                << std::string_view(GbToUtf8(v->pathInVolume)) << '\t'
                << std::string_view(ScanTimeText(v->scanTime)) << '\t' << std::string_view(GbToUtf8(v->host));
        } else {
            out << "\t\t\t\t\t\t\t\t\t";
        }
        out << '\n';
    }
}

void WriteJsonRows(Output& out, const std::vector<Row>& rows)
{
    out << "{\"categories\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        const CPathCategory& c = *r.category;
        out << (i ? ",\n  " : "\n  ") << "{\"category\": ";
        WriteJsonString(out, r.position);
        out << ", \"name\": ";
        WriteJsonString(out, GbToUtf8(c.m_strName.view()));
        out << ", \"class\": \"" << std::string_view(ClassName(c.GetClassId())) << "\", \"path\": ";
        WriteJsonString(out, GbToUtf8(c.m_strPath.view()));
        out << ", \"state\": \"" << std::string_view(c.GetVolume() ? StateId(r.where.state) : "no-record")
            << "\", \"mountedAt\": [";
        std::vector<std::string> at = MountedAt(r.where);
        for (std::size_t k = 0; k < at.size(); ++k) {
            out << (k ? ", " : "");
            WriteJsonString(out, at[k]);
        }
        out << "], \"volume\": ";
        if (const VolumeRecord* v = c.GetVolume()) {
            out << "{\"uuid\": ";
            WriteJsonString(out, GbToUtf8(v->uuid));
            out << ", \"label\": ";
            WriteJsonString(out, GbToUtf8(v->label));
            out << ", \"fsType\": ";
            WriteJsonString(out, GbToUtf8(v->fsType));
            out << ", \"capacity\": " << v->capacity << ", \"free\": " << v->freeBytes
                << ", \"mountPoint\": ";
            WriteJsonString(out, GbToUtf8(v->mountPoint));
            out << ", \"pathInVolume\": ";
            WriteJsonString(out, GbToUtf8(v->pathInVolume));
            out << ", \"scanTime\": " << static_cast<std::int64_t>(v->scanTime) << ", \"host\": ";
            WriteJsonString(out, GbToUtf8(v->host));
            out << '}';
        } else {
            out << "null";
        }
        out << '}';
    }
    out << (rows.empty() ? "]}\n" : "\n]}\n");
}

int Volumes(const std::vector<std::string>& args)
{
    CommandRun run(args, {}, { "--json" }, 1, 1);
    run.LoadLibrary(0);
    CTessaryDoc& doc = run.doc;
    std::vector<Row> rows;
    std::vector<std::size_t> position; // index at each depth of the walk
    ConstCategoryWalk walk { std::span<const CCategory* const>(
        doc.GetRootList().begin(), doc.GetRootList().size()) };
    while (walk.Next()) {
        if (!walk.Entering())
            continue;
        position.resize(walk.Depth() + 1);
        position[walk.Depth()] = walk.Index();
        const CCategory& c = walk.Current();
        if (!HasPath(c.GetClassId()))
            continue;
        // Nothing below an imported category is imported again.
        walk.SkipChildren();
        std::string at = "@";
        for (std::size_t i = 0; i < position.size(); ++i)
            at += (i ? "/" : "") + std::to_string(position[i]);
        rows.push_back({ std::move(at), static_cast<const CPathCategory*>(&c), doc.Locate(c) });
    }
    run.Mark("locate");
    Output out;
    if (run.args.Has("--json"))
        WriteJsonRows(out, rows);
    else
        WriteText(out, rows);
    out.Flush();
    return run.Finish("print");
}

} // namespace

Command VolumesCommand()
{
    return { "volumes", "volumes LIB [--json]",
        "Lists every imported category (CD, drive and folder imports) with the volume it was\n"
        "scanned from and whether that volume is connected now, tab-separated:\n"
        "  category (as @positions), name, type, stored path, state, where it is now, then the\n"
        "  volume record: uuid, label, file system, capacity and free space at scan (bytes),\n"
        "  mount point scanned, folder in volume, scan time, host.\n"
        "States: connected (found by its UUID, also at another mount point than the one scanned),\n"
        "offline (not connected), ambiguous (several connected volumes fit: cloned disks), no\n"
        "record (imported before volumes were recorded, or its volume could not be identified).\n"
        "A volume without UUID (tmpfs, network shares) is looked for at its mount point.\n"
        "Cloned disks (one UUID on several devices) are told apart by label, then by capacity.\n"
        "--json   {\"categories\": [{\"category\", \"name\", \"class\", \"path\", \"state\",\n"
        "         \"mountedAt\": [...], \"volume\": VOLUME or null}]}, VOLUME as in 'json'.\n",
        Volumes };
}

} // namespace tessary::cli
