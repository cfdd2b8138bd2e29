#include "node/zemoriDeviceNode.h"

#include "plugin/idleWorkCmd.h"
#include "plugin/messageTable.h"
#include "plugin/threadTexts.h"
#include "plugin/uiBridge.h"

#include <maya/MConditionMessage.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MNodeMessage.h>
#include <maya/MObjectArray.h>
#include <maya/MPlug.h>
#include <maya/MSelectionList.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

MTypeId ZemoriDeviceNode::id(0x81051);
MObject ZemoriDeviceNode::mInputPort;
MObject ZemoriDeviceNode::mTime;
MObject ZemoriDeviceNode::mRecording;
MObject ZemoriDeviceNode::mDeviceIdAttr;
MObject ZemoriDeviceNode::mOutputTranslate;
MObject ZemoriDeviceNode::mOutputTranslations;
MObject ZemoriDeviceNode::mOutputRotations;
MObject ZemoriDeviceNode::mJournalSeconds;
MObject ZemoriDeviceNode::mKeyEveryFrame;
MObject ZemoriDeviceNode::mKeyOnTimecode;
MObject ZemoriDeviceNode::mPreRoll;
MObject ZemoriDeviceNode::mStageTrigger;
MObject ZemoriDeviceNode::mAllowedSenders;
MObject ZemoriDeviceNode::mListenAddress;
MObject ZemoriDeviceNode::mMulticastGroup;

namespace {

std::int64_t steadyClockNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr double kDefaultJournalSeconds = 120.0;

// Main thread only: nodes are made and destroyed there.
std::vector<ZemoriDeviceNode*>& nodeList() {
    static std::vector<ZemoriDeviceNode*> nodes;
    return nodes;
}

// Keeps the node's copy of deviceId current for the receiving thread, and
// begins or ends a take the moment recording switches, whether or not an
// evaluation follows.
void onAttributeChanged(MNodeMessage::AttributeMessage message, MPlug& plug, MPlug& /*other*/,
                        void* clientData) {
    if ((message & MNodeMessage::kAttributeSet) == 0) {
        return;
    }
    auto* node = static_cast<ZemoriDeviceNode*>(clientData);
    if (plug == ZemoriDeviceNode::mDeviceIdAttr) {
        node->refreshDeviceId();
    } else if (plug == ZemoriDeviceNode::mRecording) {
        node->recordingSwitched(plug.asBool());
        postHeadsUpRefresh(node->deviceId());
    } else if (plug == ZemoriDeviceNode::mAllowedSenders ||
               plug == ZemoriDeviceNode::mListenAddress ||
               plug == ZemoriDeviceNode::mMulticastGroup) {
        node->networkSettingChanged(plug);
    }
}

// Playback starting or stopping begins or ends the node's take at that
// moment, whether or not an evaluation follows.
void onPlayingBack(bool playing, void* clientData) {
    auto* node = static_cast<ZemoriDeviceNode*>(clientData);
    node->playbackSwitched(playing);
    postHeadsUpRefresh(node->deviceId());
}

}  // namespace

ZemoriDeviceNode::ZemoriDeviceNode()
    : mStore(),
      mAwaitingSkeletonDefinition(true),
      mStateMutex(),
      mCharacterized(false),
      mSkeletonNameTemplate("zemoriCharacter{index}_Skeleton"),
      mSocket(0),
      mAppliedSenderRate(50),
      mFrameRateBySenderRate{{30, 60}, {50, 80}, {60, 90}, {120, 150}},
      mLastDatagramTime(0),
      mSilenceThresholdMs(1000.0),
      mClock(&steadyClockNanoseconds) {
    // Up front: the receiving thread never allocates.
    mJournal.reserve(CaptureJournal::framesFor(kDefaultJournalSeconds));
}

ZemoriDeviceNode::~ZemoriDeviceNode() {
    // A take still recording (its scene closed, its plug-in unloads) is
    // handed over before its frames go with the node.
    endTake();
    std::vector<ZemoriDeviceNode*>& nodes = nodeList();
    nodes.erase(std::remove(nodes.begin(), nodes.end(), this), nodes.end());
    forgetIdleWork(*this);
    if (mAttributeCallback != 0) {
        MMessage::removeCallback(mAttributeCallback);
    }
    if (mPlaybackCallback != 0) {
        MMessage::removeCallback(mPlaybackCallback);
    }
    closeSocket();
    destroyMemoryPools();
}

void* ZemoriDeviceNode::creator() {
    return new ZemoriDeviceNode();
}

ZemoriDeviceNode* ZemoriDeviceNode::named(const MString& name) {
    MSelectionList matches;
    MGlobal::getSelectionListByName(name, matches);
    MObject object;
    if (matches.length() > 0) matches.getDependNode(0, object);
    MPxNode* userNode = object.isNull() ? nullptr : MFnDependencyNode(object).userNode();
    if (userNode == nullptr || userNode->typeId() != id) {
        return nullptr;
    }
    return static_cast<ZemoriDeviceNode*>(userNode);
}

const std::vector<ZemoriDeviceNode*>& ZemoriDeviceNode::allNodes() {
    return nodeList();
}

void ZemoriDeviceNode::postConstructor() {
    nodeList().push_back(this);
    MObjectArray refreshAttributes;
    refreshAttributes.append(mOutputTranslate);
    setRefreshOutputAttributes(refreshAttributes);

    MObject self = thisMObject();
    mAttributeCallback = MNodeMessage::addAttributeChangedCallback(self, onAttributeChanged, this);
    mPlaybackCallback = MConditionMessage::addConditionCallback("playingBack", onPlayingBack, this);
    refreshDeviceId();
    // Made on the main thread: the texts its threads show are looked up now.
    refreshThreadTexts();
    mDefinitionReceivedText = threadText(msg::kSkelDefReceived);
    mAppliedSenderRate = 50;
    mWantedSenderRate = 50;
    applySenderRate(50);

    // One pool item per joint record: a buffer holds exactly one pose.
    createMemoryPools(3, kJointCount, static_cast<long>(sizeof(JointRecord)));
}

bool ZemoriDeviceNode::isCharacterized() {
    std::lock_guard<std::mutex> lock(mStateMutex);
    return mCharacterized;
}

void ZemoriDeviceNode::setCharacterized(bool characterized) {
    std::lock_guard<std::mutex> lock(mStateMutex);
    mCharacterized = characterized;
}

void ZemoriDeviceNode::closeSocket() {
    releaseSocket(detachSocket());
}

platform::SocketHandle ZemoriDeviceNode::detachSocket() {
    // Taking the handle out first means a second, concurrent close finds 0
    // and cannot close a handle the system may already have reused.
    const platform::SocketHandle socket = mSocket.exchange(0);
    // The thread marks itself before it loads the handle, and this side
    // clears the handle before it looks at the mark: one of the two always
    // sees the other. The thread's waits are bounded, so this one is short.
    while (mReceiverHoldsSocket.load()) {
        std::this_thread::yield();
    }
    return socket;
}

void ZemoriDeviceNode::releaseSocket(platform::SocketHandle socket) {
    if (socket == 0) {
        return;
    }
    // Its count stays in the figure: drops survive live off and add up over sockets.
    if (const std::optional<std::int64_t> drops = platform::socketDropCount(socket)) {
        mSystemDropsOfClosedSockets += *drops;
        mSystemDrops = mSystemDropsOfClosedSockets;
    }
    // Left explicitly: the membership is the network's as well as the socket's.
    if (mJoinedGroup != 0) {
        platform::leaveMulticastGroup(socket, mJoinedGroup, mJoinedInterface);
        mJoinedGroup = 0;
    }
    platform::closeSocket(socket);
    platform::socketCleanup();
}

void ZemoriDeviceNode::refreshDeviceId() {
    mDeviceId.store(MPlug(thisMObject(), mDeviceIdAttr).asInt());
}

void ZemoriDeviceNode::requestIdleWork() {
    queueIdleWork(*this);
}

bool ZemoriDeviceNode::runIdleWork(bool mayRestart) {
    if (!mInGraph.load()) {
        return false;  // kept for undo: asked for again when it returns
    }
    refreshDeviceId();
    // A rate left unwritten is asked for again by the next compute with a pose.
    const bool restart = mWantedSenderRate != mAppliedSenderRate && mayRestart;
    if (restart) {
        applySenderRate(mWantedSenderRate);
        mAppliedSenderRate = mWantedSenderRate;
    }
    if (mLiveOffPending) {
        mLiveOffPending = false;
        setLiveCheckbox(*this, false);
    }
    return restart;
}
