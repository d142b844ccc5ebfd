// Prints the interfaces the network layer sees, one per line: name, index, address, mask and
// broadcast address (0.0.0.0 for none). Sends nothing; the Wine network test runs it before
// anything else to know which network namespace Wine's sockets live in.
#include <iostream>

#include "platform/Console.h"
#include "platform/Ipv4.h"
#include "platform/Network.h"

int main() {
    using tavlo::platform::FormatIpv4;
    tavlo::platform::UseBinaryOutput();
    const auto network = tavlo::platform::makeSystemNetwork();
    for (const tavlo::platform::NetworkInterface& entry : network->interfaces()) {
        std::cout << entry.name << ' ' << entry.index << ' ' << FormatIpv4(entry.address) << ' '
                  << FormatIpv4(entry.netmask) << ' ' << FormatIpv4(entry.broadcast)
                  << (entry.loopback ? " loopback" : "") << '\n';
    }
    return 0;
}
