// Translation of POSIX error numbers into the Winsock numbers the plug-in's
// messages and callers expect, and the per-thread last error.
#pragma once

namespace platform {
namespace posix {

// The Winsock number for an errno value; unknown values pass through as they are.
unsigned winsockErrorFromErrno(int error);
// Sets the calling thread's last socket error (what lastSocketError returns).
void setLastSocketError(unsigned error);

}  // namespace posix
}  // namespace platform
