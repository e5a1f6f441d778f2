// tessary-cli dupes and unique: copies of one file across the library, and
// the files of a category that have no copy anywhere else.

#include "CliSupport.h"
#include "CommandRun.h"
#include "Commands.h"
#include "Copies.h"
#include "Document.h"
#include "Json.h"
#include "TextCodec.h"

namespace tessary::cli {

namespace {

CopyRule RuleFromOptions(const Arguments& a)
{
    CopyRule rule;
    if (const std::string* v = a.Get("--min-size"))
        rule.minSize = ParseSize(*v, "--min-size");
    rule.compareTime = a.Has("--time");
    return rule;
}

void WritePaths(Output& out, std::span<CDatum* const> items)
{
    out << "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out << std::string_view(i ? ", " : "");
        WriteJsonString(out, GbToUtf8(items[i]->GetPath()));
    }
    out << "]";
}

int Dupes(const std::vector<std::string>& args)
{
    CommandRun run(args, { "--min-size" }, { "--time", "--json" }, 1, 2);
    const CopyRule rule = RuleFromOptions(run.args);
    run.LoadLibrary(0);
    const CategoryList& roots = run.doc.GetRootList();
    const DuplicateGroups found = run.Positional(1)
        ? FindDuplicates(*ResolveCategory(roots, *run.Positional(1)), rule)
        : FindDuplicates(std::span<const CCategory* const>(roots.begin(), roots.size()), rule);
    run.Mark("find");

    Output out;
    if (run.args.Has("--json")) {
        out << "{\"groups\": [";
        for (std::size_t g = 0; g < found.GroupCount(); ++g) {
            out << std::string_view(g ? ", " : "") << "{\"size\": " << std::uint64_t { found.GroupSize(g) }
                << ", \"wasted\": " << found.Wasted(g) << ", \"paths\": ";
            WritePaths(out, found.Group(g));
            out << "}";
        }
        out << "], \"files\": " << std::uint64_t { found.items.size() }
            << ", \"wasted\": " << found.TotalWasted() << "}\n";
    } else {
        for (std::size_t g = 0; g < found.GroupCount(); ++g) {
            if (g)
                out << '\n';
            for (const CDatum* d : found.Group(g))
                WriteRow(out, *d);
        }
        if (found.GroupCount())
            out << '\n';
        out << "重复文件 " << std::uint64_t { found.GroupCount() } << " 组，共 "
            << std::uint64_t { found.items.size() } << " 个文件，多占 "
            << std::string_view(FormatByteAmount(found.TotalWasted())) << '\n';
    }
    out.Flush();
    return run.Finish("print");
}

int Unique(const std::vector<std::string>& args)
{
    CommandRun run(args, { "--min-size" }, { "--time", "--json" }, 2, 2);
    const CopyRule rule = RuleFromOptions(run.args);
    run.LoadLibrary(0);
    const CategoryList& roots = run.doc.GetRootList();
    const UniqueFiles unique = FindUniqueFiles(roots, *ResolveCategory(roots, run.args.positional[1]), rule);
    run.Mark("find");

    Output out;
    if (run.args.Has("--json")) {
        out << "{\"count\": " << std::uint64_t { unique.items.size() } << ", \"bytes\": " << unique.bytes
            << ", \"paths\": ";
        WritePaths(out, unique.items);
        out << "}\n";
    } else {
        for (const CDatum* d : unique.items)
            WriteRow(out, *d);
        out << "只有一份的文件共 " << std::uint64_t { unique.items.size() } << " 个，共 "
            << std::string_view(FormatByteAmount(unique.bytes)) << '\n';
    }
    out.Flush();
    return run.Finish("print");
}

// What both commands take a copy to be.
constexpr const char* kRuleHelp
    = "Two data items are copies when their file names (name and extension) are the same bytes, letter\n"
      "case included, their sizes are equal and, when both hold extracted content, their contents are\n"
      "equal too.\n"
      "--min-size N  leave out files smaller than N bytes (default 1: empty files never count)\n"
      "--time        the last-write times must be equal too\n";

} // namespace

Command DupesCommand()
{
    static const std::string help
        = std::string(
              "Lists the groups of copies of one file among the data items of CATEGORY and everything below\n"
              "it (default: the whole library), the copies of a group on adjacent rows and a blank line\n"
              "between groups, then the number of groups, of files, and the space the extra copies take.\n"
              "Groups come by that space (size x (copies - 1)), largest first, ties in library order of\n"
              "their first copy; the copies of a group in library order (a category's own data items, then\n"
              "its sub-categories, each with everything below it).\n")
        + kRuleHelp
        + "Where copies of one name and size hold different contents, those of each content form a\n"
          "group, and those without content one more.\n"
          "--json        print {\"groups\": [{\"size\", \"wasted\", \"paths\": [PATH, ...]}, ...], "
          "\"files\",\n"
          "              \"wasted\"}, groups and paths in the same order\n";
    return { "dupes", "dupes LIB [CATEGORY] [--min-size N] [--time] [--json]", help.c_str(), Dupes };
}

Command UniqueCommand()
{
    static const std::string help
        = std::string(
              "Lists the data items of CATEGORY and everything below it that have no copy anywhere else in\n"
              "the library, in library order, then their number and size: what would be lost with that\n"
              "drive or disc. Copies within CATEGORY do not count, as they go with it.\n")
        + kRuleHelp + "--json        print {\"count\", \"bytes\", \"paths\": [PATH, ...]}\n";
    return { "unique", "unique LIB CATEGORY [--min-size N] [--time] [--json]", help.c_str(), Unique };
}

} // namespace tessary::cli
