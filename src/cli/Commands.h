#pragma once

#include <string>
#include <vector>

namespace tessary::cli {

// One subcommand: its name, a one-line summary, its help text and the
// function that runs it with the arguments after the subcommand's name.
// The function returns the exit status and throws UsageError, DataError,
// FileError or LibraryReadError, which the caller reports.
struct Command {
    const char* name;
    const char* synopsis;
    const char* help;
    int (*run)(const std::vector<std::string>& args);
};

const std::vector<Command>& Commands();

// Subcommands kept in files of their own.
Command RefreshCommand();
Command VolumesCommand();
Command DupesCommand();
Command UniqueCommand();

} // namespace tessary::cli
