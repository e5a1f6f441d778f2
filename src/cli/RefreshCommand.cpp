// tessary-cli refresh: brings an imported category up to date with its
// folder on disk and reports what changed.

#include "CliSupport.h"
#include "CommandRun.h"
#include "Commands.h"
#include "Document.h"
#include "Json.h"
#include "Refresh.h"
#include "TextCodec.h"

namespace tessary::cli {

namespace {

const char* ReasonId(ScanSkip::Reason reason)
{
    switch (reason) {
    case ScanSkip::Reason::OtherVolume:
        return "other-volume";
    case ScanSkip::Reason::Pseudo:
        return "pseudo";
    case ScanSkip::Reason::Unreadable:
        break;
    }
    return "unreadable";
}

std::string Shown(const std::string& gb)
{
    return GbToUtf8(gb);
}

struct Section {
    const char* title; // text output
    const char* key; // JSON output
    char mark;
    std::uint64_t count;
    const std::vector<RefreshReportEntry>* entries;
};

std::vector<Section> Sections(const RefreshReport& r)
{
    return {
        { "added", "added", '+', r.added, &r.addedEntries },
        { "removed", "removed", '-', r.removed, &r.removedEntries },
        { "changed", "changed", '~', r.changed, &r.changedEntries },
        { "kept although missing", "keptMissing", '!', r.keptMissing, &r.keptMissingEntries },
        { "stale content", "stale", '*', r.stale, &r.staleEntries },
        { "re-extracted", "reextracted", '=', r.reextracted, &r.reextractedEntries },
    };
}

void WriteText(Output& out, const RefreshReport& r, const std::string& name, const std::string& scanned,
    bool dryRun, bool saved)
{
    out << "refresh of '" << std::string_view(Shown(name)) << "' from " << std::string_view(scanned)
        << std::string_view(dryRun ? " (dry run: the library is not written)"
                   : saved         ? ""
                                   : " (nothing changed: the library is not written)")
        << '\n';
    for (const Section& s : Sections(r)) {
        out << std::string_view(s.title) << ": " << s.count << '\n';
        for (const RefreshReportEntry& e : *s.entries) {
            out << "  " << s.mark << ' ' << std::string_view(Shown(e.path));
            if (e.folder)
                out << "/";
            if (e.entries > 1)
                out << " (" << e.entries << " entries)";
            out << '\n';
        }
    }
    if (!r.extractFailures.empty()) {
        out << "content not read: " << static_cast<std::uint64_t>(r.extractFailures.size()) << '\n';
        for (const ContentError& e : r.extractFailures)
            out << "  ? " << std::string_view(DescribeFileError(e)) << '\n';
    }
    out << "folders not read: " << static_cast<std::uint64_t>(r.skippedFolders.size()) << '\n';
    for (const RefreshSkippedFolder& s : r.skippedFolders)
        out << "  ? " << std::string_view(Shown(s.path)) << " (" << SkipReasonText(s.reason, s.sysErrno)
            << ")\n";
}

void WriteJsonReport(Output& out, const RefreshReport& r, const std::string& name, const std::string& scanned,
    bool dryRun, bool saved)
{
    out << "{\"category\": ";
    WriteJsonString(out, Shown(name));
    out << ", \"scanned\": ";
    WriteJsonString(out, scanned);
    out << ", \"dryRun\": " << std::string_view(dryRun ? "true" : "false")
        << ", \"saved\": " << std::string_view(saved ? "true" : "false");
    for (const Section& s : Sections(r)) {
        out << ", \"" << std::string_view(s.key) << "\": {\"count\": " << s.count << ", \"entries\": [";
        bool first = true;
        for (const RefreshReportEntry& e : *s.entries) {
            out << (first ? "" : ", ") << "{\"path\": ";
            first = false;
            WriteJsonString(out, Shown(e.path));
            out << ", \"folder\": " << std::string_view(e.folder ? "true" : "false")
                << ", \"entries\": " << e.entries << '}';
        }
        out << "]}";
    }
    out << ", \"extractFailures\": [";
    for (std::size_t i = 0; i < r.extractFailures.size(); ++i) {
        out << (i ? ", " : "") << "{\"path\": ";
        WriteJsonString(out, Shown(DiskToGb(r.extractFailures[i].Path())));
        out << ", \"error\": ";
        WriteJsonString(out, Shown(DiskToGb(DescribeFileError(r.extractFailures[i]))));
        out << '}';
    }
    out << "], \"skippedFolders\": [";
    for (std::size_t i = 0; i < r.skippedFolders.size(); ++i) {
        const RefreshSkippedFolder& s = r.skippedFolders[i];
        out << (i ? ", " : "") << "{\"path\": ";
        WriteJsonString(out, Shown(s.path));
        out << ", \"reason\": \"" << std::string_view(ReasonId(s.reason))
            << "\", \"errno\": " << static_cast<std::int64_t>(s.sysErrno) << '}';
    }
    out << "]}\n";
}

int Refresh(const std::vector<std::string>& args)
{
    CommandRun run(args, { "--path" }, { "--prune", "--reextract", "--dry-run", "--json" }, 2, 2);
    const Arguments& a = run.args;
    const bool dryRun = a.Has("--dry-run");
    RefreshOptions options;
    options.prune = a.Has("--prune");
    options.reextract = a.Has("--reextract");
    const std::string* otherPath = a.Get("--path");
    if (otherPath && otherPath->empty())
        throw UsageError("--path needs a folder");

    run.LoadLibrary(0);
    CTessaryDoc& doc = run.doc;
    CCategory* category = ResolveCategory(doc.GetRootList(), a.positional[1]);
    if (!CanRefresh(*category))
        throw UsageError("category '" + a.positional[1]
            + "' was not imported from a disk (only CD, drive, folder and sub-folder categories can be "
              "refreshed)");

    RefreshScan scan = ScanForRefresh(
        otherPath ? RefreshSourceFor(*category, *otherPath) : RefreshSourceFor(doc, *category));
    const std::string scanned = Shown(DiskToGb(scan.source.diskPath));
    run.Mark("scan");
    RefreshPlan plan = PlanRefresh(*category, std::move(scan));
    if (options.reextract)
        plan.ReadStaleContents();
    run.Mark("compare");

    // The report holds its own copies of the paths, so it outlives the
    // entries that applying removes.
    RefreshReport report;
    bool saved = false;
    if (dryRun) {
        report = plan.Report(options);
    } else {
        report = ApplyRefresh(doc, plan, options);
        run.Mark("merge");
        if (doc.IsModified()) {
            doc.OnSaveDocument(a.positional[0]);
            saved = true;
        }
        run.Mark("save");
    }

    Output out;
    if (a.Has("--json"))
        WriteJsonReport(out, report, category->m_strName.str(), scanned, dryRun, saved);
    else
        WriteText(out, report, category->m_strName.str(), scanned, dryRun, saved);
    out.Flush();
    run.timer.Report();
    return kExitOk;
}

} // namespace

Command RefreshCommand()
{
    return { "refresh", "refresh LIB CATEGORY [--path P] [--prune] [--reextract] [--dry-run] [--json]",
        "Scans the folder of CATEGORY (a CD, drive, folder or sub-folder category) again and merges\n"
        "what it finds into the library, then saves LIB:\n"
        "  - entries found again keep their remark, content and position; files take their new\n"
        "    size and time;\n"
        "  - new files are added at the head of their category, new folders at its end;\n"
        "  - entries gone from the disk are removed, unless they (or entries below them) carry a\n"
        "    remark or content: those are kept and reported as missing;\n"
        "  - changed files keep their old content, reported as stale;\n"
        "  - what lies below a folder that could not be read is left as it was.\n"
        "Names compare as stored, so a rename (also of the letter case) is a removal and an addition.\n"
        "A category whose volume is known is scanned where that volume is mounted now; when it is\n"
        "not connected the refresh names the volume to connect. The category's volume record\n"
        "takes what the scan found (when anything changed, or the volume or its place differ).\n"
        "--path P     scan P instead of the stored path (a disc mounted elsewhere); the stored path\n"
        "             stays\n"
        "--prune      remove missing entries even when they carry a remark or content\n"
        "--reextract  read the new content of changed files that have content\n"
        "--dry-run    report only; LIB is not written\n"
        "--json       print the report as JSON: {\"category\", \"scanned\", \"dryRun\", \"saved\",\n"
        "             \"added\", \"removed\", \"changed\", \"keptMissing\", \"stale\", \"reextracted\":\n"
        "             {\"count\", \"entries\": [{\"path\", \"folder\", \"entries\"}]},\n"
        "             \"extractFailures\": [{\"path\", \"error\"}],\n"
        "             \"skippedFolders\": [{\"path\", \"reason\", \"errno\"}]}\n"
        "Counts are entries: a folder added or removed with its content counts everything in it.\n"
        "LIB is saved only when something changed. Exit status 0 when the refresh ran, whether or\n"
        "not anything changed; 2 when the folder or the library cannot be read or written.\n",
        Refresh };
}

} // namespace tessary::cli
