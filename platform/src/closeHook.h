// The test hook of closeSocket, shared by both systems' sockets.
#pragma once

#include "platform/sockets.h"

namespace platform {

// Runs the hook set by setCloseHook, if any.
void runCloseHook(SocketHandle socket);

}  // namespace platform
