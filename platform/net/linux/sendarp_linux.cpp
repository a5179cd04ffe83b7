// SendARP over Linux. With the privilege to open a packet socket it asks
// the segment itself (an ARP request, one resend); without it, it lets the
// kernel resolve the address and learns the answer from rtnetlink.
#include "platform/base/afxstop.h"
#include "platform/net/adapter_choice.h"
#include "platform/net/linux/linux_facts.h"
#include "platform/net/linux/sendarp_common.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace orvane::arp;

DWORD SendARP(IPAddr destination, IPAddr source, void* macAddress, ULONG* length)
{
    Probe probe;
    probe.start = Clock::now();
    probe.deadline = probe.start + kAnswerWait;
    probe.destination = destination;
    if (macAddress == nullptr || length == nullptr || *length == 0)
        return ERROR_INVALID_PARAMETER;
    if (afx::StopRequested())
        return ERROR_CANCELLED;

    std::vector<orvane::adapters::AdapterFacts> interfaces;
    if (!orvane::adapters::ReadInterfaces(interfaces))
        return ERROR_NOT_FOUND;
    const AdapterChoice choice = ChooseAdapter(interfaces, destination, source);
    switch (choice.kind) {
        case Choice::OwnAddress:
            probe.answer = choice.mac;
            break;
        case Choice::NoAdapter:
            return ERROR_NOT_FOUND;
        case Choice::NoHost:
            return ERROR_BAD_NET_NAME;
        case Choice::Found:
            probe.ifindex = choice.ifindex;
            probe.ourMac = choice.mac;
            probe.ourIp = choice.ourIp;
            // A packet socket that cannot be had or bound leaves the kernel's
            // way, which needs no privilege.
            probe.packet = PacketSocketFor(probe.ifindex);
            if (probe.packet >= 0)
                AskTheSegment(probe);
            else
                AskTheKernel(probe);
            break;
    }
    if (!probe.answer)
        return afx::StopRequested() ? ERROR_CANCELLED : ERROR_BAD_NET_NAME;
    std::memcpy(macAddress, probe.answer->data(), std::min<std::size_t>(*length, probe.answer->size()));
    *length = static_cast<ULONG>(probe.answer->size());
    return NO_ERROR;
}
