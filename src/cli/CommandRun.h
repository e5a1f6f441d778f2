#pragma once

#include "CliSupport.h"
#include "Document.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tessary::cli {

// What every subcommand starts and ends with. Constructing one parses the
// arguments against the options the subcommand knows (see ParseArguments),
// checks the number of positional arguments and starts the phase timer;
// Finish reports the timings. A subcommand is then its own work between
// the two:
//
//     int Stats(const std::vector<std::string>& args)
//     {
//         CommandRun run(args, {}, {}, 1, 1);
//         run.LoadLibrary(0);
//         ... work on run.doc ...
//         return run.Finish("stats");
//     }
//
// Everything throws what ParseArguments, the document and the file
// functions throw (UsageError, FileError, LibraryReadError), which the
// program's main reports.
class CommandRun {
public:
    CommandRun(const std::vector<std::string>& commandLine, const std::vector<std::string>& valued,
        const std::vector<std::string>& flags, std::size_t minPositional, std::size_t maxPositional);

    // Positional argument `i`, or null when fewer were given.
    const std::string* Positional(std::size_t i) const noexcept
    {
        return i < args.positional.size() ? &args.positional[i] : nullptr;
    }
    // The value of an option that must be given; throws UsageError
    // ("missing -o LIB") naming it with `placeholder` otherwise.
    const std::string& Require(const std::string& option, const char* placeholder) const;

    // Opens the library named by positional argument `i` in `doc` (a
    // zero-byte file is an empty library) and ends the phase "load".
    // What the file left out (a damaged extension block) is reported on
    // standard error as warnings.
    void LoadLibrary(std::size_t i);
    // Reports the document's read warnings for the library at `path`.
    void ReportReadWarnings(const std::string& path) const;
    // Ends the current phase under `name`.
    void Mark(const char* name) { timer.Mark(name); }
    // Ends the last phase under `name`, prints the timings when --timing was
    // given and returns `status`.
    int Finish(const char* name, int status = kExitOk);

    Arguments args;
    PhaseTimer timer;
    CTessaryDoc doc;
};

} // namespace tessary::cli
