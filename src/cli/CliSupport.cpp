#include "CliSupport.h"

#include "Datum.h"
#include "FileError.h"
#include "TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

namespace tessary::cli {

Arguments ParseArguments(const std::vector<std::string>& args, const std::vector<std::string>& valued,
    const std::vector<std::string>& flags)
{
    auto known = [](const std::vector<std::string>& list, const std::string& name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    Arguments a;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            a.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (std::size_t eq = arg.find('='); eq != std::string::npos && arg.compare(0, 2, "--") == 0) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        if (name == "--help" || name == "-h") {
            a.help = true;
        } else if (name == "--timing") {
            a.timing = true;
        } else if (known(flags, name)) {
            if (inlineValue)
                throw UsageError("option " + name + " takes no value");
            a.options[name];
        } else if (known(valued, name)) {
            if (inlineValue) {
                a.options[name] = *inlineValue;
            } else {
                if (i + 1 >= args.size())
                    throw UsageError("option " + name + " needs a value");
                a.options[name] = args[++i];
            }
        } else {
            throw UsageError("unknown option " + name);
        }
    }
    return a;
}

void ExpectPositional(const Arguments& a, std::size_t min, std::size_t max)
{
    if (a.positional.size() < min)
        throw UsageError("missing argument");
    if (a.positional.size() > max)
        throw UsageError("unexpected argument '" + a.positional[max] + "'");
}

namespace {

// Digits only, with an optional leading '-' when `allowSign`; the value in
// [lo, hi].
std::optional<long long> ParseInteger(std::string_view text, bool allowSign, long long lo, long long hi)
{
    bool negative = false;
    if (allowSign && !text.empty() && text[0] == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (negative)
        v = -v;
    if (v < lo || v > hi)
        return std::nullopt;
    return v;
}

} // namespace

std::uint32_t ParseSize(const std::string& text, const char* what)
{
    auto v = ParseInteger(text, false, 0, 0xFFFFFFFFLL);
    if (!v)
        throw UsageError(
            std::string("bad number for ") + what + ": '" + text + "' (expected 0 to 4294967295)");
    return static_cast<std::uint32_t>(*v);
}

int ParseCount(const std::string& text, const char* what)
{
    auto v = ParseInteger(text, false, 0, INT_MAX);
    if (!v)
        throw UsageError(std::string("bad number for ") + what + ": '" + text + "'");
    return static_cast<int>(*v);
}

Time32 ParseTime(const std::string& text, const char* what)
{
    auto bad = [&]() {
        return UsageError(std::string("bad time for ") + what + ": '" + text
            + "' (expected YYYY-MM-DD, \"YYYY-MM-DD HH:MM:SS\" or @SECONDS within 1901-2038)");
    };
    if (!text.empty() && text[0] == '@') {
        auto v = ParseInteger(std::string_view(text).substr(1), true, INT32_MIN, INT32_MAX);
        if (!v)
            throw bad();
        return static_cast<Time32>(*v);
    }
    // Fixed layout: 10 characters of date, optionally a blank and 8 of time.
    if (text.size() != 10 && text.size() != 19)
        throw bad();
    auto field = [&](std::size_t pos, std::size_t len, int lo, int hi) {
        auto v = ParseInteger(std::string_view(text).substr(pos, len), false, lo, hi);
        if (!v)
            throw bad();
        return static_cast<int>(*v);
    };
    if (text[4] != '-' || text[7] != '-')
        throw bad();
    std::tm tm {};
    tm.tm_year = field(0, 4, 1900, 9999) - 1900;
    tm.tm_mon = field(5, 2, 1, 12) - 1;
    tm.tm_mday = field(8, 2, 1, 31);
    if (text.size() == 19) {
        if (text[10] != ' ' || text[13] != ':' || text[16] != ':')
            throw bad();
        tm.tm_hour = field(11, 2, 0, 23);
        tm.tm_min = field(14, 2, 0, 59);
        tm.tm_sec = field(17, 2, 0, 59);
    }
    tm.tm_isdst = -1;
    const int wantDay = tm.tm_mday, wantMon = tm.tm_mon;
    errno = 0;
    std::time_t t = std::mktime(&tm);
    if ((t == static_cast<std::time_t>(-1) && errno != 0) || tm.tm_mday != wantDay || tm.tm_mon != wantMon)
        throw bad(); // such as February 30
    if (t < INT32_MIN || t > INT32_MAX)
        throw bad();
    return static_cast<Time32>(t);
}

std::string FormatTime(Time32 time)
{
    std::time_t t = time;
    std::tm tm {};
    if (!localtime_r(&t, &tm))
        return {};
    char buf[32];
    std::size_t n = std::strftime(buf, sizeof buf, "%m/%d/%y %H:%M:%S", &tm);
    return std::string(buf, n);
}

CDatum* ResolveItem(const CategoryList& roots, const std::string& which)
{
    const std::size_t slash = which.rfind('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == which.size())
        throw UsageError("'" + which + "' names no data item (CATEGORY/NAME)");
    CCategory* c = ResolveCategory(roots, which.substr(0, slash));
    const std::string last = which.substr(slash + 1);
    const auto& items = c->GetDatumList();
    if (which[0] == '@') {
        auto pos = ParseInteger(last, false, 0, 0xFFFFFFFFLL);
        if (!pos)
            throw UsageError("bad data item position in '" + which + "'");
        if (static_cast<std::size_t>(*pos) >= items.size())
            throw UsageError("no data item '" + which + "' in the library");
        return items[static_cast<std::size_t>(*pos)];
    }
    const std::string name = Utf8ToGb(last);
    for (CDatum* d : items)
        if (d->GetDisplayName() == name)
            return d;
    throw UsageError("no data item '" + which + "' in the library");
}

CCategory* ResolveCategory(const CategoryList& roots, const std::string& which)
{
    auto unknown = [&]() { return UsageError("no category '" + which + "' in the library"); };
    const CategoryList* level = &roots;
    CCategory* found = nullptr;
    if (!which.empty() && which[0] == '@') {
        std::string_view rest = std::string_view(which).substr(1);
        while (true) {
            std::size_t slash = rest.find('/');
            auto pos = ParseInteger(rest.substr(0, slash), false, 0, 0xFFFFFFFFLL);
            if (!pos)
                throw UsageError("bad category position in '" + which + "'");
            if (static_cast<std::size_t>(*pos) >= level->size())
                throw unknown();
            found = (*level)[static_cast<std::size_t>(*pos)];
            level = &found->GetSubCategoryList();
            if (slash == std::string_view::npos)
                return found;
            rest.remove_prefix(slash + 1);
        }
    }
    std::string_view rest = which;
    while (true) {
        std::size_t slash = rest.find('/');
        std::string name = Utf8ToGb(rest.substr(0, slash));
        found = nullptr;
        for (CCategory* c : *level) {
            if (c->m_strName.view() == name) {
                found = c;
                break;
            }
        }
        if (!found)
            throw unknown();
        level = &found->GetSubCategoryList();
        if (slash == std::string_view::npos)
            return found;
        rest.remove_prefix(slash + 1);
    }
}

void Output::Flush()
{
    if (!m_buf.empty()) {
        std::size_t n = std::fwrite(m_buf.data(), 1, m_buf.size(), stdout);
        m_buf.clear();
        if (n == 0 && std::ferror(stdout))
            FileError::ThrowErrno(errno ? errno : EIO, "standard output");
    }
    if (std::fflush(stdout) != 0)
        FileError::ThrowErrno(errno ? errno : EIO, "standard output");
}

void Output::FlushQuietly() noexcept
{
    if (!m_buf.empty())
        std::fwrite(m_buf.data(), 1, m_buf.size(), stdout);
    m_buf.clear();
    std::fflush(stdout);
}

void WriteHeader(Output& out)
{
    out << "名称\t大小\t类型\t最后修改\t位置\n";
}

void WriteRow(Output& out, const CItem& item)
{
    out << std::string_view(GbToUtf8(item.GetDisplayName())) << '\t';
    if (item.IsDatum())
        out << static_cast<std::uint64_t>(item.GetSize()) << " Byte";
    out << '\t' << std::string_view(GbToUtf8(item.GetTypeText())) << '\t';
    if (item.IsDatum())
        out << std::string_view(FormatTime(static_cast<const CDatum&>(item).m_timeModified));
    out << '\t' << std::string_view(GbToUtf8(item.GetPath())) << '\n';
}

void PhaseTimer::Mark(const char* name)
{
    Clock::time_point now = Clock::now();
    m_phases.emplace_back(name, std::chrono::duration<double, std::milli>(now - m_last).count());
    m_last = now;
}

void PhaseTimer::Report() const
{
    if (!m_enabled)
        return;
    for (std::size_t i = 0; i < m_phases.size(); ++i)
        std::fprintf(stderr, "%s%s: %.1f ms", i ? ", " : "timing: ", m_phases[i].first, m_phases[i].second);
    std::fprintf(stderr, "\n");
}

std::string SkipReasonText(ScanSkip::Reason reason, int sysErrno)
{
    switch (reason) {
    case ScanSkip::Reason::OtherVolume:
        return "another volume, not entered";
    case ScanSkip::Reason::Pseudo:
        return "system file system, not entered";
    case ScanSkip::Reason::Unreadable:
        break;
    }
    return "not readable: " + std::string(sysErrno ? std::strerror(sysErrno) : "unknown error");
}

} // namespace tessary::cli
