#include "plugin/ipListSource.h"

#include "platform/sockets.h"

IpListSource defaultIpListSource() {
    return IpListSource{&platform::hostName, &platform::hostIPv4Addresses,
                        &platform::lastSocketError};
}

IpListSource& ipListSource() {
    static IpListSource source = defaultIpListSource();
    return source;
}
