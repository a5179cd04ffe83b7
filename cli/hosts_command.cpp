// orvane hosts: what the sweeps remembered.
#include "cli/commands.h"
#include "cli/dotted.h"
#include "net/hosts_file.h"
#include "net/octets.h"
#include "net/remembered_hosts.h"

CommandOutcome ListRememberedHosts(std::FILE* out)
{
    CommandOutcome outcome;
    for (const RememberedHost& host : ReadRememberedHosts(outcome.warnings))
        std::fprintf(out, "%s\t%s\t%s\t%s\n", Dotted(host.ip).c_str(), MacText(host.mac).GetString(),
                     host.adapter.c_str(), UtcText(host.seen).c_str());
    std::fflush(out);
    return outcome;
}
