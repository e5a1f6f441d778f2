// The random user's program.
//
//   gui_random_user                         replays the table of sequences that once
//                                           failed, then plays seed 1 for 5 seconds
//   gui_random_user --seed S --seconds T    plays seed S for T seconds in a child
//                                           process; when it fails, prints the seed
//                                           and the shortest sequence that still fails
//                                           (each try a fresh child), within
//                                           --shrink-seconds U (default 600)
//   gui_random_user --play S T LOG          the child: plays, writing each step to LOG
//   gui_random_user --replay FILE           the child: replays the steps of FILE

#include "RandomUser.h"

#include "TessaryApp.h"

#include <QApplication>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessary::test;
using Clock = std::chrono::steady_clock;

namespace {

// Sequences that once broke an invariant or the sanitizers, shrunk, each
// with the fault it showed; each must now run clean. A failing run prints
// its shrunk sequence in this form. (The seeds choose among what the table
// of actions offers, so a change of the table makes old sequences replay
// other actions: keep them, they still cover the steps that once failed.)
struct Regression {
    const char* fault;
    std::vector<Step> steps;
};
const std::vector<Regression> kRegressions = {
    // A command chosen from a context menu asked a question while the
    // answering timer was still busy.
    { "hang", { { "select-tree", 741720773u }, { "context-menu", 3674863976u } } },
    // Filtering after the filter field was typed into, then a failed open.
    { "list: misses entries of the current category",
        { { "filter-text", 88538612u }, { "drag-category", 1964226736u }, { "command", 3624037979u },
            { "select-tree", 612459529u }, { "command", 1298212335u } } },
};

constexpr unsigned kStepAlarmSeconds = 20; // a step that takes longer hangs

int Fail(const std::string& fault, std::size_t step)
{
    std::fprintf(stderr, "FAULT: %s (after step %zu)\n", fault.c_str(), step + 1);
    std::fflush(stderr);
    return 1;
}

// Plays `steps` from a fresh window; returns the exit status of a child.
int Replay(const std::vector<Step>& steps)
{
    CRandomUser user;
    user.Start();
    for (std::size_t i = 0; i < steps.size(); ++i) {
        alarm(kStepAlarmSeconds);
        if (const std::string fault = user.Do(steps[i]); !fault.empty()) {
            user.Stop();
            return Fail(fault, i);
        }
    }
    alarm(0);
    user.Stop();
    return 0;
}

int Play(std::uint32_t seed, double seconds, const char* logPath)
{
    std::FILE* log = logPath ? std::fopen(logPath, "w") : nullptr;
    CRandomUser user;
    user.Start();
    Rng master(seed);
    const auto end = Clock::now() + std::chrono::milliseconds(std::int64_t(seconds * 1000));
    while (Clock::now() < end) {
        const Step step = user.Choose(master);
        if (log) {
            std::fprintf(log, "%s %u\n", step.action.c_str(), step.seed);
            std::fflush(log);
        }
        alarm(kStepAlarmSeconds);
        if (const std::string fault = user.Do(step); !fault.empty())
            return Fail(fault, user.ActionsRun() - 1);
    }
    alarm(0);
    std::printf("actions: %zu\n(commands run %zu, dialogs confirmed %zu, largest library %zu entries)\n",
        user.ActionsRun(), user.m_commands, user.m_confirmed, user.m_largest);
    user.Stop();
    return 0;
}

std::vector<Step> ReadSteps(const std::string& path)
{
    std::vector<Step> steps;
    std::ifstream in(path);
    Step step;
    while (in >> step.action >> step.seed)
        steps.push_back(step);
    return steps;
}

void WriteSteps(const std::string& path, const std::vector<Step>& steps)
{
    std::ofstream out(path);
    for (const Step& step : steps)
        out << step.action << ' ' << step.seed << '\n';
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// What failed, so that shrinking keeps to the same fault: the broken
// invariant, the sanitizer's kind of error and our first frame, or the signal.
std::string Signature(int status, const std::string& output)
{
    // The text after `key` up to the first of `stops`, or empty.
    auto after = [&output](const std::string& key, const char* stops, std::size_t from = 0) {
        const std::size_t at = output.find(key, from);
        if (at == std::string::npos)
            return std::string();
        const std::size_t start = at + key.size();
        return output.substr(start, output.find_first_of(stops, start) - start);
    };
    if (std::string fault = after("FAULT: ", "(\n"); !fault.empty())
        return fault;
    if (std::string kind = after("ERROR: AddressSanitizer: ", " \n"); !kind.empty())
        return "AddressSanitizer: " + kind + " in "
            + after(" in tessary::", "( \n", output.find("ERROR: AddressSanitizer: "));
    if (output.find("ERROR: LeakSanitizer") != std::string::npos)
        return "LeakSanitizer: a leak from "
            + after(" in tessary::", "( \n", output.find("ERROR: LeakSanitizer"));
    if (std::string error = after("runtime error: ", "\n"); !error.empty())
        return "UndefinedBehaviorSanitizer: " + error;
    if (WIFSIGNALED(status))
        return "signal " + std::to_string(WTERMSIG(status));
    return "exit status " + std::to_string(WEXITSTATUS(status));
}

// Runs this program with `args` in a child, its output into `outPath`.
int RunChild(const std::vector<std::string>& args, const std::string& outPath)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::FILE* out = std::fopen(outPath.c_str(), "w");
        dup2(fileno(out), 1);
        dup2(fileno(out), 2);
        std::vector<char*> argv { const_cast<char*>("gui_random_user") };
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// Leaves out ever smaller chunks of `steps` while the same fault remains
// (delta debugging, complements only), until nothing more can go or time is up.
std::vector<Step> Shrink(std::vector<Step> steps, const std::string& signature, const std::string& dir,
    Clock::time_point deadline, int& tries)
{
    auto fails = [&](const std::vector<Step>& candidate) {
        ++tries;
        WriteSteps(dir + "/candidate", candidate);
        const int status = RunChild({ "--replay", dir + "/candidate" }, dir + "/candidate.out");
        return status != 0 && Signature(status, ReadFile(dir + "/candidate.out")) == signature;
    };
    std::size_t chunks = 2;
    while (steps.size() >= 2 && Clock::now() < deadline) {
        const std::size_t size = (steps.size() + chunks - 1) / chunks;
        bool reduced = false;
        for (std::size_t start = 0; start < steps.size() && Clock::now() < deadline; start += size) {
            std::vector<Step> rest(steps.begin(), steps.begin() + std::ptrdiff_t(start));
            rest.insert(rest.end(), steps.begin() + std::ptrdiff_t(std::min(steps.size(), start + size)),
                steps.end());
            if (fails(rest)) {
                steps = std::move(rest);
                chunks = std::max<std::size_t>(chunks - 1, 2);
                reduced = true;
                break;
            }
        }
        if (!reduced) {
            if (chunks >= steps.size())
                break;
            chunks = std::min(steps.size(), chunks * 2);
        }
    }
    return steps;
}

int Supervise(std::uint32_t seed, double seconds, double shrinkSeconds)
{
    std::printf("random user: seed %u for %g s\n", seed, seconds);
    std::fflush(stdout);
    char pattern[] = "/tmp/random-user-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const int status = RunChild(
        { "--play", std::to_string(seed), std::to_string(seconds), dir + "/steps" }, dir + "/play.out");
    const std::string output = ReadFile(dir + "/play.out");
    if (status == 0) {
        std::fputs(output.c_str(), stdout);
        return 0;
    }
    const std::string signature = Signature(status, output);
    std::printf("FAILED with seed %u: %s\n--- output\n%s---\n", seed, signature.c_str(), output.c_str());
    std::vector<Step> steps = ReadSteps(dir + "/steps");
    std::printf("shrinking %zu steps (at most %g s)...\n", steps.size(), shrinkSeconds);
    std::fflush(stdout);
    int tries = 0;
    steps = Shrink(
        steps, signature, dir, Clock::now() + std::chrono::seconds(std::int64_t(shrinkSeconds)), tries);
    std::printf("shortest sequence found (%zu steps, %d tries) for \"%s\":\n", steps.size(), tries,
        signature.c_str());
    for (const Step& step : steps)
        std::printf("    { \"%s\", %uu },\n", step.action.c_str(), step.seed);
    WriteSteps(dir + "/shrunk", steps);
    std::printf("replay: gui_random_user --replay %s/shrunk\n", dir.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    auto option = [&](const char* name, const char* fallback) {
        for (std::size_t i = 0; i + 1 < args.size(); ++i)
            if (args[i] == name)
                return args[i + 1];
        return std::string(fallback);
    };
    if (!args.empty() && args[0] == "--seed")
        return Supervise(std::uint32_t(std::stoul(option("--seed", "1"))),
            std::stod(option("--seconds", "60")), std::stod(option("--shrink-seconds", "600")));

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tessary::CTessaryApp app(argc, argv);
    if (args.size() == 4 && args[0] == "--play")
        return Play(std::uint32_t(std::stoul(args[1])), std::stod(args[2]), args[3].c_str());
    if (args.size() == 2 && args[0] == "--replay")
        return Replay(ReadSteps(args[1]));
    int failed = 0;
    for (const Regression& regression : kRegressions)
        if (Replay(regression.steps) != 0) {
            std::fprintf(stderr, "the sequence of \"%s\" fails again\n", regression.fault);
            ++failed;
        }
    return failed ? 1 : Play(1, 5, nullptr);
}
