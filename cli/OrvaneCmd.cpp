#include "cli/OrvaneCmd.h"

#include "cli/command_line.h"
#include "cli/commands.h"
#include "platform/base/console.h"
#include "res/version.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kStatusFailure = 1;
constexpr int kStatusUsage = 2;
// What a shell reports for a command ended by SIGINT.
constexpr int kStatusInterrupted = 130;

// The name the messages start with, as the user typed it, without a
// directory or Windows' ".exe".
std::string ProgramName(const char* path)
{
    std::string name = path && *path ? path : "orvane";
    name.erase(0, name.find_last_of("/\\") + 1);
    if (name.size() > 4 &&
        (name.compare(name.size() - 4, 4, ".exe") == 0 || name.compare(name.size() - 4, 4, ".EXE") == 0))
        name.resize(name.size() - 4);
    return name.empty() ? "orvane" : name;
}

// What was printed must have arrived: "orvane hosts > /dev/full" is a
// failure, not an empty success.
int Checked(const std::string& program, int status)
{
    // A failed command said why already (a scan reports its own write error).
    if (status != 0 || afx::OutputReached(stdout))
        return status;
    std::fprintf(stderr, "%s: write error\n", program.c_str());
    return kStatusFailure;
}

int Report(const std::string& program, const CommandOutcome& outcome)
{
    for (const std::string& warning : outcome.warnings)
        std::fprintf(stderr, "%s: warning: %s\n", program.c_str(), warning.c_str());
    for (const std::string& failure : outcome.failures)
        std::fprintf(stderr, "%s: %s\n", program.c_str(), failure.c_str());
    if (outcome.interrupted)
        return kStatusInterrupted;
    return outcome.failures.empty() ? 0 : kStatusFailure;
}

}  // namespace

int OrvaneCommandMain(int argc, char** argv)
{
    afx::PrepareStandardStreams();
    afx::AttachParentConsole();
    const std::string program = ProgramName(argc > 0 ? argv[0] : nullptr);
    const CommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));

    switch (line.command) {
        case CommandLine::Dialog:
        case CommandLine::Usage:
            std::fprintf(stderr, "%s: %s\n", program.c_str(), line.error.c_str());
            std::fputs(UsageLine(program).c_str(), stderr);
            std::fprintf(stderr, "Try '%s --help' for more information.\n", program.c_str());
            return kStatusUsage;
        case CommandLine::Help:
            std::fputs(HelpText(program).c_str(), stdout);
            return Checked(program, 0);
        case CommandLine::Version:
            std::printf("Orvane %s\n", ORVANE_PRODUCT_VERSION);
            return Checked(program, 0);
        case CommandLine::Hosts:
            return Checked(program, Report(program, ListRememberedHosts(stdout)));
        case CommandLine::Scan:
        case CommandLine::Wake:
            break;
    }

    LocalAdapter adapter;
    std::string error;
    const bool haveAdapter = PickLocalAdapter(line.adapter, adapter, error);
    if (line.command == CommandLine::Scan) {
        if (!haveAdapter) {
            std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
            return kStatusFailure;
        }
        // The progress line is for a person watching, not for a log.
        return Checked(program, Report(program, ScanSubnet(adapter, stdout,
                                                           afx::IsTerminal(stderr) ? stderr : nullptr)));
    }
    // A named adapter must exist; without a name, no adapter at all still
    // lets the system choose the way, as the dialog's Wake does.
    if (!haveAdapter && !line.adapter.empty()) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return kStatusFailure;
    }
    return Report(program, WakeTargets(line.targets, line.port, haveAdapter ? &adapter : nullptr,
                                       !line.adapter.empty()));
}
