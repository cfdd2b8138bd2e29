// Where the UI bridge learns the workstation's host name and IPv4 addresses.
// The platform's socket layer by default; tests put in fixed answers.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct IpListSource {
    // gethostname: 0 on success, -1 on failure.
    int (*hostName)(char* buffer, std::size_t capacity);
    // The host's IPv4 addresses in dotted decimal, in the system's order.
    std::vector<std::string> (*addresses)(const char* hostName);
    // The socket error code of the calling thread's last failure.
    unsigned (*lastError)();
};

// The platform's calls.
IpListSource defaultIpListSource();
// The source in use; read and replaced on the main thread only.
IpListSource& ipListSource();
