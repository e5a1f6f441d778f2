#pragma once

// Runs the built tessary-cli as a user's shell would.

#include "TempTree.h"

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace tessary::testing {

// What a run of the tool gave: its exit status and both outputs.
struct CliResult {
    int status = -1;
    std::string out, err;
};

inline std::string ShellQuote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs tessary-cli with `args` (and `input` on standard input, when given),
// its outputs kept in files of `t`.
inline CliResult RunCli(TempTree& t, const std::vector<std::string>& args, const std::string& input = {})
{
    std::string cmd = ShellQuote(TESSARY_CLI);
    for (const std::string& a : args)
        cmd += " " + ShellQuote(a);
    if (!input.empty()) {
        t.File("stdin.txt", input);
        cmd += " < " + ShellQuote(t.Path("stdin.txt"));
    }
    cmd += " > " + ShellQuote(t.Path("out.txt")) + " 2> " + ShellQuote(t.Path("err.txt"));
    const int raw = std::system(cmd.c_str());
    CliResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    r.out = t.Read("out.txt");
    r.err = t.Read("err.txt");
    return r;
}

} // namespace tessary::testing
