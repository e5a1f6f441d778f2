#include "CommandRun.h"

#include <cstdio>

namespace tessary::cli {

CommandRun::CommandRun(const std::vector<std::string>& commandLine, const std::vector<std::string>& valued,
    const std::vector<std::string>& flags, std::size_t minPositional, std::size_t maxPositional)
    : args(ParseArguments(commandLine, valued, flags))
    , timer(args.timing)
{
    ExpectPositional(args, minPositional, maxPositional);
}

const std::string& CommandRun::Require(const std::string& option, const char* placeholder) const
{
    const std::string* value = args.Get(option);
    if (!value)
        throw UsageError("missing " + option + " " + placeholder);
    return *value;
}

void CommandRun::LoadLibrary(std::size_t i)
{
    doc.OnOpenDocument(args.positional.at(i));
    ReportReadWarnings(args.positional.at(i));
    timer.Mark("load");
}

void CommandRun::ReportReadWarnings(const std::string& path) const
{
    for (const LibraryWarning& w : doc.GetReadWarnings())
        std::fprintf(stderr, "tessary-cli: warning: %s\n", DescribeLibraryWarning(path, w).c_str());
}

int CommandRun::Finish(const char* name, int status)
{
    timer.Mark(name);
    timer.Report();
    return status;
}

} // namespace tessary::cli
