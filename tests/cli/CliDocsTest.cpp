// The man page and the bash completion of tessary-cli, written from its
// --help texts when it is built, must name every subcommand and option that
// the help names, and the completion must work in a real bash.

#include "CliRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tessary::testing::ShellQuote;

// Standard output of a shell command.
std::string Capture(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
            out.append(buf, n);
        pclose(pipe);
    }
    return out;
}

std::string ReadFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The options a help text names: "-x" or "--word" at the start of a line or
// after a blank or an opening bracket ("0-based" is no option).
std::set<std::string> OptionsIn(const std::string& text)
{
    std::set<std::string> options;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '-'
            || (i > 0 && std::string_view(" \t\n[|(").find(text[i - 1]) == std::string_view::npos))
            continue;
        std::size_t end = i + (text.compare(i, 2, "--") == 0 ? 2 : 1);
        if (end >= text.size() || !IsLetter(text[end]))
            continue;
        while (end < text.size() && (IsLetter(text[end]) || text[end] == '-'))
            ++end;
        options.insert(text.substr(i, end - i));
        i = end;
    }
    return options;
}

// The subcommands as `tessary-cli --help` lists them, each with the options
// its own --help names.
std::map<std::string, std::set<std::string>> SubcommandsFromHelp()
{
    std::map<std::string, std::set<std::string>> commands;
    const std::string top = Capture(ShellQuote(TESSARY_CLI) + " --help");
    std::istringstream in(top);
    bool listing = false;
    for (std::string line; std::getline(in, line);) {
        if (line == "commands:") {
            listing = true;
        } else if (listing && line.empty()) {
            break;
        } else if (listing && line.size() > 2 && line.compare(0, 2, "  ") == 0 && line[2] != ' ') {
            commands[line.substr(2, line.find(' ', 2) - 2)];
        }
    }
    for (auto& [name, options] : commands)
        options = OptionsIn(Capture(ShellQuote(TESSARY_CLI) + " " + name + " --help"));
    return commands;
}

// The man page's words as a reader sees them.
std::string ManText()
{
    std::string page = ReadFile(TESSARY_CLI_MAN);
    std::string text;
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] != '\\' || i + 1 == page.size()) {
            text += page[i];
            continue;
        }
        const char next = page[++i];
        if (next == '-')
            text += '-';
        else if (next == 'e')
            text += '\\';
        else if (next == 'f' && i + 1 < page.size())
            ++i; // a font change
        // "\&" and the rest print nothing here
    }
    return text;
}

bool HasWord(const std::string& text, const std::string& word)
{
    const auto inWord = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; };
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        const bool startOk = at == 0 || !inWord(text[at - 1]);
        const bool endOk = at + word.size() == text.size() || !inWord(text[at + word.size()]);
        if (startOk && endOk)
            return true;
    }
    return false;
}

// What the completion offers for the command line `words`, whose last word
// is the one being completed, run from the folder `cwd`.
std::set<std::string> Complete(const std::vector<std::string>& words, const std::string& cwd = ".")
{
    std::string command = "cd " + ShellQuote(cwd)
        + " && bash -c 'source \"$0\"; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _tessary_cli; "
          "printf \"%s\\n\" \"${COMPREPLY[@]}\"' "
        + ShellQuote(TESSARY_CLI_COMPLETION);
    for (const std::string& w : words)
        command += " " + ShellQuote(w);
    const std::vector<std::string> lines = Lines(Capture(command));
    return { lines.begin(), lines.end() };
}

class CliDocs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_commands = SubcommandsFromHelp(); }
    static std::map<std::string, std::set<std::string>> s_commands;
};

std::map<std::string, std::set<std::string>> CliDocs::s_commands;

TEST_F(CliDocs, HelpListsSubcommandsWithOptions)
{
    // Guards the parsing below: if the help changed its layout, the other
    // tests would pass on nothing.
    ASSERT_GE(s_commands.size(), 10u);
    ASSERT_TRUE(s_commands.count("search"));
    EXPECT_TRUE(s_commands.at("search").count("--or"));
    EXPECT_TRUE(s_commands.at("scan").count("-o"));
}

TEST_F(CliDocs, ManPageNamesEverySubcommandAndOption)
{
    const std::string man = ManText();
    ASSERT_FALSE(man.empty()) << TESSARY_CLI_MAN;
    for (const auto& [name, options] : s_commands) {
        EXPECT_NE(man.find("\n.B " + name + "\n"), std::string::npos) << "no entry for " << name;
        for (const std::string& option : options)
            EXPECT_TRUE(HasWord(man, option)) << name << " " << option;
    }
}

TEST_F(CliDocs, CompletionOffersEverySubcommandAndItsOptions)
{
    std::set<std::string> expected { "--help" };
    for (const auto& [name, options] : s_commands)
        expected.insert(name);
    EXPECT_EQ(Complete({ "tessary-cli", "" }), expected);
    EXPECT_EQ(Complete({ "tessary-cli", "se" }), std::set<std::string> { "search" });

    for (const auto& [name, options] : s_commands) {
        const std::set<std::string> offered = Complete({ "tessary-cli", name, "lib.dli", "-" });
        for (const std::string& option : options)
            EXPECT_TRUE(offered.count(option)) << name << " " << option;
    }
}

TEST_F(CliDocs, CompletionOffersValuesAndFiles)
{
    EXPECT_EQ(Complete({ "tessary-cli", "scan", "/data", "--kind", "" }),
        (std::set<std::string> { "folder", "drive", "cd" }));
    // A keyword is free text: no file names are offered for it.
    EXPECT_TRUE(Complete({ "tessary-cli", "search", "lib.dli", "--name", "" }).empty());

    tessary::testing::TempTree t;
    t.File("books.dli", "x");
    EXPECT_EQ(Complete({ "tessary-cli", "tree", "bo" }, t.Root()), std::set<std::string> { "books.dli" });
    EXPECT_EQ(Complete({ "tessary-cli", "export", "books.dli", "@0", "-o", "b" }, t.Root()),
        std::set<std::string> { "books.dli" });
}

TEST_F(CliDocs, ManPageFormatsWithoutWarnings)
{
    if (Capture("command -v groff").empty())
        GTEST_SKIP() << "groff is not installed";
    const std::string warnings = Capture("groff -man -Tutf8 -ww -z " + ShellQuote(TESSARY_CLI_MAN) + " 2>&1");
    EXPECT_EQ(warnings, "");
}

} // namespace
