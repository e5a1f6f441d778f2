#include "Commands.h"

#include "CliSupport.h"
#include "CommandRun.h"
#include "Content.h"
#include "Document.h"
#include "EntryWalk.h"
#include "Json.h"
#include "PathName.h"
#include "Scan.h"
#include "SearchCriteria.h"
#include "TextCodec.h"

#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary::cli {

namespace {

// The folder as an absolute path without trailing separators, so that the
// library still leads to it from any working directory.
std::string AbsoluteFolder(const std::string& dir)
{
    std::string path = dir;
    if (path.empty() || path[0] != '/') {
        std::string cwd(4096, '\0');
        if (!getcwd(cwd.data(), cwd.size()))
            FileError::ThrowErrno(errno, dir);
        cwd.resize(std::char_traits<char>::length(cwd.c_str()));
        if (path == ".")
            path.clear();
        else if (path.compare(0, 2, "./") == 0)
            path.erase(0, 2);
        path = path.empty() ? cwd : (cwd == "/" ? "/" : cwd + "/") + path;
    }
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool Exists(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0)
        return true;
    if (errno != ENOENT)
        FileError::ThrowErrno(errno, path);
    return false;
}

// The custom category `which` names, for commands that add to it.
CCategory* ResolveImportTarget(CTessaryDoc& doc, const std::string& which)
{
    CCategory* c = ResolveCategory(doc.GetRootList(), which);
    if (!c->CanImportInto())
        throw UsageError("category '" + which + "' is not a custom category and takes no imports");
    return c;
}

// Folders the scan did not read are named on standard error; they are
// empty categories in the library, and the scan still succeeds.
void ReportSkipped(const ScanReport& report)
{
    for (const ScanSkip& skip : report.skipped)
        std::fprintf(stderr, "skipped %s (%s)\n", skip.path.c_str(),
            SkipReasonText(skip.reason, skip.sysErrno).c_str());
    if (!report.skipped.empty())
        std::fprintf(stderr, "%zu folder(s) skipped\n", report.skipped.size());
}

int Scan(const std::vector<std::string>& args)
{
    CommandRun run(args, { "-o", "--kind", "--name", "--into", "--threads" }, {}, 1, 1);
    const std::string& lib = run.Require("-o", "LIB");
    const Arguments& a = run.args;
    ScanOptions options;
    if (const std::string* n = a.Get("--threads")) {
        options.threads = static_cast<unsigned>(ParseCount(*n, "--threads"));
        if (options.threads > 256)
            throw UsageError("--threads takes at most 256");
    }
    std::string kind = a.Has("--kind") ? *a.Get("--kind") : "folder";
    if (kind != "folder" && kind != "drive" && kind != "cd")
        throw UsageError("bad --kind '" + kind + "' (expected folder, drive or cd)");
    const std::string& dir = a.positional[0];
    struct stat st;
    if (stat(dir.c_str(), &st) != 0)
        FileError::ThrowErrno(errno, dir);
    if (!S_ISDIR(st.st_mode))
        throw FileError(FileErrorCause::BadPath, dir, ENOTDIR);

    CTessaryDoc& doc = run.doc;
    CCategory* into = nullptr;
    if (Exists(lib)) {
        doc.OnOpenDocument(lib);
        run.ReportReadWarnings(lib);
        if (const std::string* which = a.Get("--into"))
            into = ResolveImportTarget(doc, *which);
    } else if (a.Has("--into")) {
        throw UsageError("--into needs an existing library, and '" + lib + "' does not exist");
    }
    run.Mark("load");

    std::string folder = AbsoluteFolder(dir);
    std::string name
        = DiskToGb(a.Has("--name") ? std::string_view(*a.Get("--name")) : LastPathComponent(dir));
    std::string path = DiskToGb(folder);
    ScanReport report;
    CCategory* category = kind == "cd"
        ? static_cast<CCategory*>(CreateCDRomCategory(name, path, options, report))
        : kind == "drive" ? static_cast<CCategory*>(CreateDriverCategory(name, path, options, report))
                          : static_cast<CCategory*>(CreateRootFolderCategory(name, path, options, report));
    ReportSkipped(report);
    if (into)
        into->AddSubCategory(category);
    else
        doc.AddRoot(category);
    run.Mark("scan");
    doc.OnSaveDocument(lib);
    return run.Finish("save");
}

int List(const std::vector<std::string>& args)
{
    CommandRun run(args, {}, {}, 1, 2);
    run.LoadLibrary(0);
    const std::string* which = run.Positional(1);
    const CCategory* c = which ? ResolveCategory(run.doc.GetRootList(), *which) : nullptr;
    Output out;
    WriteHeader(out);
    if (!c) {
        for (const CCategory* root : run.doc.GetRootList())
            WriteRow(out, *root);
    } else {
        for (const CCategory* sub : c->GetSubCategoryList())
            WriteRow(out, *sub);
        for (const CDatum* d : c->GetDatumList())
            WriteRow(out, *d);
    }
    out.Flush();
    return run.Finish("list");
}

int Tree(const std::vector<std::string>& args)
{
    CommandRun run(args, { "--depth" }, {}, 1, 2);
    const Arguments& a = run.args;
    const std::size_t maxDepth = a.Has("--depth")
        ? static_cast<std::size_t>(ParseCount(*a.Get("--depth"), "--depth"))
        : static_cast<std::size_t>(-1);
    run.LoadLibrary(0);
    std::vector<const CCategory*> tops;
    if (const std::string* which = run.Positional(1))
        tops.push_back(ResolveCategory(run.doc.GetRootList(), *which));
    else
        tops.assign(run.doc.GetRootList().begin(), run.doc.GetRootList().end());

    Output out;
    ConstCategoryWalk walk { std::span<const CCategory* const>(tops) };
    while (walk.Next()) {
        if (!walk.Entering())
            continue;
        const CCategory& c = walk.Current();
        out << std::string_view(std::string(2 * walk.Depth(), ' '))
            << std::string_view(GbToUtf8(c.GetTypeText())) << '\t'
            << std::string_view(GbToUtf8(c.m_strName.view())) << '\t'
            << static_cast<std::uint64_t>(c.GetDatumList().size()) << '\n';
        if (walk.Depth() >= maxDepth)
            walk.SkipChildren();
    }
    out.Flush();
    return run.Finish("tree");
}

// The search criteria that the options of `search` give.
CSearchCriteria CriteriaFromOptions(const Arguments& a)
{
    CSearchCriteria criteria;
    if (auto* v = a.Get("--name"))
        criteria.m_strName = Utf8ToGb(*v);
    if (auto* v = a.Get("--ext"))
        criteria.m_strExtension = Utf8ToGb(*v);
    if (auto* v = a.Get("--remark"))
        criteria.m_strRemark = Utf8ToGb(*v);
    if (auto* v = a.Get("--content"))
        criteria.m_strContent = Utf8ToGb(*v);
    if (auto* v = a.Get("--case")) {
        std::string_view rest = *v;
        while (true) {
            std::size_t comma = rest.find(',');
            std::string_view f = rest.substr(0, comma);
            if (f == "name")
                criteria.m_bNameCase = true;
            else if (f == "ext")
                criteria.m_bExtensionCase = true;
            else if (f == "remark")
                criteria.m_bRemarkCase = true;
            else if (f == "content")
                criteria.m_bContentCase = true;
            else
                throw UsageError(
                    "bad field '" + std::string(f) + "' in --case (expected name, ext, remark, content)");
            if (comma == std::string_view::npos)
                break;
            rest.remove_prefix(comma + 1);
        }
    }
    if (auto* v = a.Get("--larger")) {
        criteria.m_bSizeLower = true;
        criteria.m_dwSizeLower = ParseSize(*v, "--larger");
    }
    if (auto* v = a.Get("--smaller")) {
        criteria.m_bSizeUpper = true;
        criteria.m_dwSizeUpper = ParseSize(*v, "--smaller");
    }
    if (auto* v = a.Get("--after")) {
        criteria.m_bTimeLower = true;
        criteria.m_timeLower = ParseTime(*v, "--after");
    }
    if (auto* v = a.Get("--before")) {
        criteria.m_bTimeUpper = true;
        criteria.m_timeUpper = ParseTime(*v, "--before");
    }
    criteria.m_bOr = a.Has("--or");
    return criteria;
}

int Search(const std::vector<std::string>& args)
{
    CommandRun run(args,
        { "--name", "--ext", "--remark", "--content", "--case", "--larger", "--smaller", "--after",
            "--before" },
        { "--or" }, 1, 2);
    const CSearchCriteria criteria = CriteriaFromOptions(run.args);
    run.LoadLibrary(0);
    std::vector<CDatum*> results;
    if (const std::string* which = run.Positional(1)) {
        ResolveCategory(run.doc.GetRootList(), *which)->CollectMatches(criteria, results);
    } else {
        for (const CCategory* root : run.doc.GetRootList()) {
            std::vector<CDatum*> part;
            root->CollectMatches(criteria, part);
            results.insert(results.end(), part.begin(), part.end());
        }
    }
    run.Mark("search");
    Output out;
    for (const CDatum* d : results)
        WriteRow(out, *d);
    out << "搜索结果共 " << static_cast<std::uint64_t>(results.size()) << " 个文件\n";
    out.Flush();
    return run.Finish("print");
}

int Export(const std::vector<std::string>& args)
{
    CommandRun run(args, { "-o" }, {}, 2, 2);
    const std::string& outPath = run.Require("-o", "OUT");
    run.LoadLibrary(0);
    const std::string& which = run.args.positional[1];
    const CCategory* c = ResolveCategory(run.doc.GetRootList(), which);
    if (!c->CanExport())
        throw UsageError("category '" + which
            + "' is a folder category, which takes its path from its parent and cannot be exported");
    CTessaryDoc::ExportCategory(*c, outPath);
    return run.Finish("save");
}

int Merge(const std::vector<std::string>& args)
{
    CommandRun run(args, {}, {}, 3, 3);
    run.LoadLibrary(0);
    run.doc.SetCurrentCategory(ResolveImportTarget(run.doc, run.args.positional[1]));
    run.doc.ImportLibrary(run.args.positional[2]);
    run.ReportReadWarnings(run.args.positional[2]);
    run.Mark("merge");
    run.doc.OnSaveDocument(run.args.positional[0]);
    return run.Finish("save");
}

int ExtractOrClear(const std::vector<std::string>& args, bool extract)
{
    CommandRun run(
        args, {}, extract ? std::vector<std::string> { "--text-only" } : std::vector<std::string> {}, 2, 2);
    run.LoadLibrary(0);
    CTessaryDoc& doc = run.doc;
    CCategory* c = ResolveCategory(doc.GetRootList(), run.args.positional[1]);
    const ContentMode mode = run.args.Has("--text-only") ? ContentMode::TextOnly : ContentMode::BytesAndText;
    std::size_t failures = 0;
    for (CDatum* d : c->GetDatumList()) {
        if (!extract) {
            doc.ClearContent(*d);
            continue;
        }
        try {
            // A document without text keeps its bytes; it is named, and the
            // others go on.
            const std::optional<DocumentTextResult> text = doc.ExtractContent(*d, mode);
            if (text && text->problem != TextProblem::None)
                std::fprintf(stderr, "tessary-cli: no text from %s: %s\n", GbToUtf8(d->GetPath()).c_str(),
                    text->detail.c_str());
        } catch (const FileError& e) {
            std::fprintf(stderr, "tessary-cli: %s\n", DescribeFileError(e).c_str());
            ++failures;
        }
    }
    run.Mark(extract ? "extract" : "clear");
    if (doc.IsModified())
        doc.OnSaveDocument(run.args.positional[0]);
    return run.Finish("save", failures ? kExitFile : kExitOk);
}

int Extract(const std::vector<std::string>& args)
{
    return ExtractOrClear(args, true);
}
int Clear(const std::vector<std::string>& args)
{
    return ExtractOrClear(args, false);
}

int Text(const std::vector<std::string>& args)
{
    CommandRun run(args, {}, {}, 2, 2);
    run.LoadLibrary(0);
    const CDatum* d = ResolveItem(run.doc.GetRootList(), run.args.positional[1]);
    Output out;
    out << d->m_strText.view();
    if (!d->m_strText.empty() && d->m_strText.view().back() != '\n')
        out << '\n';
    out.Flush();
    return run.Finish("text", d->m_strText.empty() ? kExitFile : kExitOk);
}

int Json(const std::vector<std::string>& args)
{
    CommandRun run(args, {}, {}, 1, 1);
    run.LoadLibrary(0);
    Output out;
    try {
        WriteJson(run.doc.GetRootList(), out);
    } catch (const DataError& e) {
        throw DataError("'" + run.args.positional[0] + "' cannot be written as JSON: " + e.what());
    }
    out.Flush();
    return run.Finish("json");
}

// Everything in the file at `path`, or on standard input for "-".
auto ReadInput(const std::string& path)
{
    if (path != "-")
        return ReadAllAndClose(OpenLibraryForReading(path), path);
    int fd = dup(STDIN_FILENO);
    if (fd < 0)
        FileError::ThrowErrno(errno, "standard input");
    return ReadAllAndClose(fd, "standard input");
}

int FromJson(const std::vector<std::string>& args)
{
    CommandRun run(args, { "-o" }, {}, 1, 1);
    const std::string& outPath = run.Require("-o", "LIB");
    const std::string& jsonPath = run.args.positional[0];
    const auto bytes = ReadInput(jsonPath);
    run.Mark("load");
    RootList roots;
    try {
        roots = ReadJson(std::string_view(bytes));
    } catch (const DataError& e) {
        throw DataError("'" + jsonPath + "' is not a valid library description: " + e.what());
    }
    run.Mark("parse");
    std::vector<const CCategory*> list;
    for (const auto& r : roots)
        list.push_back(r.get());
    WriteLibraryFile(list, outPath);
    return run.Finish("save");
}

int Stats(const std::vector<std::string>& args)
{
    CommandRun run(args, {}, {}, 1, 1);
    run.LoadLibrary(0);
    std::uint64_t perKind[kClassCount] = {};
    std::uint64_t withContent = 0, totalSize = 0, contentBytes = 0, withText = 0, textBytes = 0;
    for (const CCategory& c : PreOrder(run.doc.GetRootList())) {
        ++perKind[static_cast<int>(c.GetClassId())];
        for (const CDatum* d : c.GetDatumList()) {
            ++perKind[static_cast<int>(d->GetClassId())];
            totalSize += d->m_dwSize;
            if (HasContent(*d))
                ++withContent;
            contentBytes += d->m_strContent.size();
            if (!d->m_strText.empty()) {
                ++withText;
                textBytes += d->m_strText.size();
            }
        }
    }
    Output out;
    for (int i = 0; i < kClassCount; ++i)
        if (perKind[i])
            out << std::string_view(ClassName(static_cast<ClassId>(i))) << ": " << perKind[i] << '\n';
    out << "data items with content: " << withContent << '\n';
    out << "total size: " << totalSize << " Byte\n";
    out << "content bytes: " << contentBytes << '\n';
    if (withText)
        out << "data items with document text: " << withText << '\n'
            << "document text bytes: " << textBytes << '\n';
    out.Flush();
    return run.Finish("stats");
}

} // namespace

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        { "scan", "scan DIR -o LIB [--kind folder|drive|cd] [--name NAME] [--into CATEGORY] [--threads N]",
            "Scans the folder DIR into a new root-folder (default), drive or CD category named NAME\n"
            "(default: DIR's last path component) and saves LIB. An existing LIB gets the category\n"
            "as its last root, or with --into as the last sub-category of a custom category.\n"
            "A folder scan enters other volumes mounted below DIR (never system file systems such\n"
            "as proc); a drive or CD scan stays on DIR's volume. Folders not read are listed on\n"
            "standard error. --threads: folders read at once (default: one per core).\n"
            "The category records the volume DIR lies on (see 'volumes'), so that its files are\n"
            "found wherever the volume is mounted later.\n",
            Scan },
        { "ls", "ls LIB [CATEGORY]",
            "Lists the sub-categories and then the data items of CATEGORY (default: the root\n"
            "categories) with the columns name, size, type, last-write time and path, tab-separated.\n",
            List },
        { "tree", "tree LIB [CATEGORY] [--depth N]",
            "Shows the category hierarchy, two spaces of indentation per level: type, name and the\n"
            "number of data items, tab-separated. --depth limits the levels shown below the start.\n",
            Tree },
        { "search",
            "search LIB [CATEGORY] [--name K] [--ext K] [--remark K] [--content K] [--case FIELDS]\n"
            "       [--larger N] [--smaller N] [--after TIME] [--before TIME] [--or]",
            "Searches CATEGORY (default: every root in turn) for data items and lists them in result\n"
            "order, then the count. Keywords are substrings; --case takes a comma list of name, ext,\n"
            "remark, content that compare case-sensitively. Size and time bounds are strict.\n"
            "TIME is YYYY-MM-DD, \"YYYY-MM-DD HH:MM:SS\" (local time) or @SECONDS. --or: any given\n"
            "criterion suffices; otherwise all must hold.\n",
            Search },
        { "export", "export LIB CATEGORY -o OUT",
            "Writes CATEGORY with its subtree as a library of its own (not for folder categories).\n",
            Export },
        { "merge", "merge LIB CATEGORY FROM",
            "Appends every root of the library FROM to the custom category CATEGORY and saves LIB.\n",
            Merge },
        { "extract", "extract LIB CATEGORY [--text-only]",
            "Copies the content of the file behind every data item directly in CATEGORY into the\n"
            "library and saves LIB. Files that cannot be read are reported; the others are still\n"
            "extracted, and the exit status is then 2. Files of a volume mounted somewhere else\n"
            "now are read there; when the volume is not connected, the message names it.\n"
            "PDF, docx, xlsx, pptx, odt, ods and odp files also keep their words as text, which\n"
            "content searches and the 'text' command read; documents that give no text (encrypted,\n"
            "damaged) are named on standard error and keep their bytes only. --text-only: keep the\n"
            "text of such documents instead of their bytes.\n",
            Extract },
        { "clear", "clear LIB CATEGORY",
            "Empties the content and the document text of every data item directly in CATEGORY\n"
            "and saves LIB.\n",
            Clear },
        { "text", "text LIB ITEM",
            "Prints the document text of the data item ITEM: its category as for the other\n"
            "commands, a \"/\" and its name with extension (\"Reports/2024.pdf\"), or positions\n"
            "(\"@0/1/3\": the fourth data item of that category). Exit status 2 when it has none.\n",
            Text },
        { "json", "json LIB",
            "Writes the whole library as JSON to standard output:\n"
            "  {\"roots\": [CATEGORY, ...]}\n"
            "  CATEGORY = {\"class\", \"name\", \"remark\", \"subcategories\": [CATEGORY, ...], \"items\": "
            "[ITEM, ...],\n"
            "              \"path\", \"volume\" (CD-ROM, drive and root-folder categories only; \"volume\"\n"
            "              when the volume it was scanned from is known)}\n"
            "  ITEM     = {\"class\", \"name\", \"remark\", \"content\" (base64), \"extension\", \"size\", "
            "\"time\",\n"
            "              \"folder\" (CCustomDatum only), \"text\" (a document's text, when it has one)}\n"
            "  VOLUME   = {\"uuid\", \"label\", \"fsType\", \"capacity\", \"free\", \"mountPoint\",\n"
            "              \"pathInVolume\", \"scanTime\", \"host\"} (see the volumes command)\n"
            "Texts are UTF-8, times seconds since 1970 UTC. A text that is not valid GB18030 has no\n"
            "exact UTF-8 form: the library is then refused rather than written differently.\n",
            Json },
        { "from-json", "from-json JSON -o LIB",
            "Builds the library that the JSON file (\"-\" for standard input) describes and saves\n"
            "it as LIB. The output of `json` gives back the same library file, byte for byte.\n",
            FromJson },
        { "stats", "stats LIB",
            "Counts the entries per class, the data items with content, their total size and the\n"
            "bytes of content, and the data items with document text and its bytes.\n",
            Stats },
        RefreshCommand(),
        VolumesCommand(),
        DupesCommand(),
        UniqueCommand(),
    };
    return commands;
}

} // namespace tessary::cli
