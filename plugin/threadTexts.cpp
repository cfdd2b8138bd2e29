#include "plugin/threadTexts.h"

#include <cstring>
#include <mutex>

namespace {

// Every text that the receiving thread or compute shows or prints.
const MessageKey* const kThreadMessages[] = {
    &msg::kSkelDefReceived,   &msg::kAwaitingSkelDef,     &msg::kInitSocket,
    &msg::kClosingSocket,     &msg::kPortInUseError,      &msg::kWsaStartError,
    &msg::kBindSocketError,   &msg::kSocketFunctionError, &msg::kYourIp,
    &msg::kGettingIpError,    &msg::kTakeEmpty,           &msg::kOtherSender,
    &msg::kBadAllowList,      &msg::kBadListenAddress,    &msg::kAbsentListenAddress,
    &msg::kBadMulticastGroup, &msg::kJoinGroupFailed,     &msg::kNothingArrives,
    &msg::kRefusedSender,
};
constexpr std::size_t kThreadMessageCount = sizeof kThreadMessages / sizeof kThreadMessages[0];

struct ThreadTexts {
    std::mutex mutex;
    bool looked = false;
    MString texts[kThreadMessageCount];
};

// An object, not a pointer kept for good: the module that holds it may be
// unloaded, and nothing reads it once the plug-in's nodes are gone.
ThreadTexts& threadTexts() {
    static ThreadTexts texts;
    return texts;
}

}  // namespace

void refreshThreadTexts() {
    MString looked[kThreadMessageCount];
    for (std::size_t i = 0; i < kThreadMessageCount; ++i) {
        looked[i] = lookupMessage(*kThreadMessages[i]);
    }
    ThreadTexts& texts = threadTexts();
    std::lock_guard<std::mutex> lock(texts.mutex);
    for (std::size_t i = 0; i < kThreadMessageCount; ++i) texts.texts[i] = looked[i];
    texts.looked = true;
}

MString threadText(const MessageKey& message) {
    for (std::size_t i = 0; i < kThreadMessageCount; ++i) {
        if (std::strcmp(kThreadMessages[i]->key, message.key) != 0) continue;
        ThreadTexts& texts = threadTexts();
        std::lock_guard<std::mutex> lock(texts.mutex);
        if (texts.looked) return texts.texts[i];
        break;
    }
    return MString(message.defaultText);
}
