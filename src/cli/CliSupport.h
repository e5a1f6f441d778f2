#pragma once

#include "Category.h"
#include "Datum.h"
#include "Scan.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tessary::cli {

// Exit statuses of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitFile = 2;

// A wrong command line: unknown option, missing or bad argument, a category
// that does not exist or does not allow the operation. Exit status 1.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A fault of a file's contents found by the program itself (not by the
// library reader), such as a malformed JSON document. Exit status 2.
class DataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The parsed command line of one subcommand: options (with their value, or
// empty for flags) and the positional arguments in order.
struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    bool help = false;
    bool timing = false;

    bool Has(const std::string& name) const { return options.count(name) != 0; }
    const std::string* Get(const std::string& name) const
    {
        auto it = options.find(name);
        return it == options.end() ? nullptr : &it->second;
    }
};

// Parses `args` against the options the subcommand knows: `valued` take a
// value ("--opt VALUE" or "--opt=VALUE"), `flags` do not. "--help" and
// "--timing" are known everywhere; "--" ends the options. Throws UsageError
// for an unknown option or a missing value.
Arguments ParseArguments(const std::vector<std::string>& args, const std::vector<std::string>& valued,
    const std::vector<std::string>& flags);
// Throws UsageError unless the number of positional arguments lies in [min, max].
void ExpectPositional(const Arguments& a, std::size_t min, std::size_t max);

// Strict decimal numbers: digits only (a leading '-' for signed), no blanks,
// within range. `what` names the argument in the message.
std::uint32_t ParseSize(const std::string& text, const char* what);
int ParseCount(const std::string& text, const char* what);

// Why a scan left a folder out, in words: another volume or a system file
// system not entered, or the folder not readable (with the system's reason).
std::string SkipReasonText(ScanSkip::Reason reason, int sysErrno);
// YYYY-MM-DD (local midnight), "YYYY-MM-DD HH:MM:SS" (local time) or
// @SECONDS (since 1970 UTC); the result must fit the library's signed 32 bits.
Time32 ParseTime(const std::string& text, const char* what);
// "MM/DD/YY HH:MM:SS", 24-hour, local time.
std::string FormatTime(Time32 time);

// Finds the category that `which` names among `roots`: names separated by "/"
// (UTF-8; the first category of that name at each level), or "@" followed by
// 0-based positions separated by "/". Throws UsageError when none fits.
CCategory* ResolveCategory(const CategoryList& roots, const std::string& which);
// Finds the data item that `which` names: a category as above, "/", and the
// item's name with its extension (the first of that name), or positions
// "@i/j/k" whose last one counts the category's data items. Throws
// UsageError when none fits.
CDatum* ResolveItem(const CategoryList& roots, const std::string& which);

// Buffered standard output, flushed when full and at destruction. Write
// errors (a closed pipe, a full disk) are reported by Flush.
class Output {
public:
    Output() { m_buf.reserve(kChunk); }
    ~Output() { FlushQuietly(); }
    Output& operator<<(std::string_view s)
    {
        m_buf.append(s);
        if (m_buf.size() >= kChunk)
            Flush();
        return *this;
    }
    Output& operator<<(char c)
    {
        m_buf.push_back(c);
        return *this;
    }
    Output& operator<<(std::uint64_t n) { return *this << std::string_view(std::to_string(n)); }
    Output& operator<<(std::int64_t n) { return *this << std::string_view(std::to_string(n)); }
    // Writes what is buffered; throws FileError naming standard output on failure.
    void Flush();

private:
    void FlushQuietly() noexcept;
    static constexpr std::size_t kChunk = 1 << 16;
    std::string m_buf;
};

// The five columns of an entry row, tab-separated, UTF-8, with the newline:
// display name, "N Byte", type text, last-write time, full path (size and
// time empty for categories).
void WriteRow(Output& out, const CItem& item);
// The line of column titles.
void WriteHeader(Output& out);

// Measures the phases of a command for --timing.
class PhaseTimer {
public:
    explicit PhaseTimer(bool enabled)
        : m_enabled(enabled)
        , m_last(Clock::now())
    {
    }
    // Ends the current phase and records it under `name`.
    void Mark(const char* name);
    // Prints the recorded phases to standard error (when enabled).
    void Report() const;

private:
    using Clock = std::chrono::steady_clock;
    bool m_enabled;
    Clock::time_point m_last;
    std::vector<std::pair<const char*, double>> m_phases;
};

} // namespace tessary::cli
