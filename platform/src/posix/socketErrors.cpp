#include "socketErrors.h"

#include "platform/sockets.h"

#include <cerrno>

namespace platform {
namespace posix {

namespace {
thread_local unsigned tLastSocketError = 0;
}

unsigned winsockErrorFromErrno(int error) {
    switch (error) {
        case EINTR:
            return 10004;  // WSAEINTR
        case EBADF:
            return kErrorNotSocket;
        case EACCES:
            return 10013;  // WSAEACCES
        case EFAULT:
        case ENAMETOOLONG:  // gethostname with a short buffer
            return 10014;   // WSAEFAULT
        case EINVAL:
            return kErrorInvalidArgument;
        case EMFILE:
        case ENFILE:
            return 10024;  // WSAEMFILE
        case EAGAIN:
            return 10035;  // WSAEWOULDBLOCK
        case ENOTSOCK:
            return kErrorNotSocket;
        case EDESTADDRREQ:
            return 10039;  // WSAEDESTADDRREQ
        case EMSGSIZE:
            return kErrorMessageSize;
        case EPROTOTYPE:
            return 10041;  // WSAEPROTOTYPE
        case ENOPROTOOPT:
            return 10042;  // WSAENOPROTOOPT
        case EPROTONOSUPPORT:
            return 10043;  // WSAEPROTONOSUPPORT
        case EOPNOTSUPP:
            return 10045;  // WSAEOPNOTSUPP
        case EAFNOSUPPORT:
            return 10047;  // WSAEAFNOSUPPORT
        case EADDRINUSE:
            return kErrorAddressInUse;
        case EADDRNOTAVAIL:
            return 10049;  // WSAEADDRNOTAVAIL
        case ENETDOWN:
            return 10050;  // WSAENETDOWN
        case ENETUNREACH:
            return 10051;  // WSAENETUNREACH
        case ECONNRESET:
            return 10054;  // WSAECONNRESET
        case ENOBUFS:
        case ENOMEM:
            return 10055;  // WSAENOBUFS
        case EISCONN:
            return 10056;  // WSAEISCONN
        case ENOTCONN:
            return 10057;  // WSAENOTCONN
        case ECONNREFUSED:
            return 10061;  // WSAECONNREFUSED
        case EHOSTUNREACH:
            return 10065;  // WSAEHOSTUNREACH
        default:
            return static_cast<unsigned>(error);
    }
}

void setLastSocketError(unsigned error) {
    tLastSocketError = error;
}

}  // namespace posix

unsigned lastSocketError() {
    return posix::tLastSocketError;
}

}  // namespace platform
