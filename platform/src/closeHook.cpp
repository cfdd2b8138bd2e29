#include "closeHook.h"

#include <atomic>

namespace platform {

namespace {

std::atomic<CloseHook> gCloseHook{nullptr};

}  // namespace

void setCloseHook(CloseHook hook) {
    gCloseHook.store(hook);
}

void runCloseHook(SocketHandle socket) {
    const CloseHook hook = gCloseHook.load();
    if (hook != nullptr) hook(socket);
}

}  // namespace platform
