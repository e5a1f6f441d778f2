// tessary-cli: the command-line front end of the library core.

#include "CliSupport.h"
#include "Commands.h"
#include "DocumentFile.h"
#include "FileError.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

using namespace tessary;
using namespace tessary::cli;

namespace {

void PrintUsage(std::FILE* to)
{
    std::fprintf(to, "usage: tessary-cli COMMAND [ARGS] [--timing]\n\ncommands:\n");
    for (const Command& c : Commands())
        std::fprintf(to, "  %s\n", c.synopsis);
    std::fprintf(to,
        "\nCATEGORY is a path of names from a root separated by \"/\", or \"@\" followed by\n"
        "0-based positions separated by \"/\" (@0/2: the third sub-category of the first root).\n"
        "--timing prints how long loading, the work and saving took to standard error.\n"
        "Exit status: 0 success, 1 usage error, 2 file or format error.\n"
        "Run 'tessary-cli COMMAND --help' for a command's details.\n");
}

bool WantsHelp(const std::vector<std::string>& args)
{
    for (const std::string& a : args) {
        if (a == "--")
            return false;
        if (a == "--help" || a == "-h")
            return true;
    }
    return false;
}

int Fail(int status, const std::string& message)
{
    std::fprintf(stderr, "tessary-cli: %s\n", message.c_str());
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return kExitOk;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    const Command* command = nullptr;
    for (const Command& c : Commands())
        if (name == c.name)
            command = &c;
    if (!command) {
        Fail(kExitUsage, "unknown command '" + name + "'");
        PrintUsage(stderr);
        return kExitUsage;
    }
    if (WantsHelp(args)) {
        std::printf("usage: tessary-cli %s [--timing]\n\n%s", command->synopsis, command->help);
        return kExitOk;
    }
    try {
        return command->run(args);
    } catch (const UsageError& e) {
        Fail(kExitUsage, std::string(e.what()) + " (see 'tessary-cli " + name + " --help')");
        return kExitUsage;
    } catch (const FileError& e) {
        return Fail(kExitFile, DescribeFileError(e));
    } catch (const LibraryReadError& e) {
        return Fail(kExitFile, std::string(e.what()) + ".");
    } catch (const DataError& e) {
        return Fail(kExitFile, std::string(e.what()) + ".");
    } catch (const std::bad_alloc&) {
        return Fail(kExitFile, "out of memory.");
    } catch (const std::exception& e) {
        return Fail(kExitFile, e.what());
    }
}
