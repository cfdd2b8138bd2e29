#include "plugin/idleWorkCmd.h"

#include "node/zemoriDeviceNode.h"
#include "recording/pendingTake.h"

#include <maya/MGlobal.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

// Compute may run on an evaluation thread; the command and the node's
// destructor run on the main thread.
std::mutex gNodesWithWorkMutex;
std::vector<ZemoriDeviceNode*> gNodesWithWork;

// Takes the node off the list; false when it is not on it (deleted meanwhile).
bool takeOff(ZemoriDeviceNode* node) {
    std::lock_guard<std::mutex> lock(gNodesWithWorkMutex);
    const auto listed = std::find(gNodesWithWork.begin(), gNodesWithWork.end(), node);
    if (listed == gNodesWithWork.end()) {
        return false;
    }
    gNodesWithWork.erase(listed);
    return true;
}

}  // namespace

ZemoriIdleWorkCmd::~ZemoriIdleWorkCmd() = default;

void* ZemoriIdleWorkCmd::creator() {
    return new ZemoriIdleWorkCmd();
}

MStatus ZemoriIdleWorkCmd::doIt(const MArgList& /*args*/) {
    // Takes first: they need no node, and one whose node is gone is written too.
    writePendingTakes();
    // The nodes that had work when the run began; only compared, never
    // called through: one node's work may delete another node, whose
    // destructor takes it off gNodesWithWork.
    std::vector<ZemoriDeviceNode*> due;
    {
        std::lock_guard<std::mutex> lock(gNodesWithWorkMutex);
        due = gNodesWithWork;
    }
    // The host waits for each thread a frameRate change restarts (up to
    // 10 ms): one per run, so that evaluations come between them and no
    // node's pose buffers fill up meanwhile.
    bool restarted = false;
    for (ZemoriDeviceNode* candidate : due) {
        if (!takeOff(candidate)) {
            continue;  // deleted meanwhile
        }
        restarted = candidate->runIdleWork(!restarted) || restarted;
    }
    return MS::kSuccess;
}

void queueIdleWork(ZemoriDeviceNode& node) {
    {
        std::lock_guard<std::mutex> lock(gNodesWithWorkMutex);
        if (std::find(gNodesWithWork.begin(), gNodesWithWork.end(), &node) ==
            gNodesWithWork.end()) {
            gNodesWithWork.push_back(&node);
        }
    }
    // A run for every request, the node listed before or not: should the
    // host never run one queued command, the next request still gets the
    // node's work done. A run that finds nothing left costs nothing.
    MGlobal::executeCommandOnIdle(kIdleWorkCommandName, false);
}

void forgetIdleWork(ZemoriDeviceNode& node) {
    std::lock_guard<std::mutex> lock(gNodesWithWorkMutex);
    gNodesWithWork.erase(std::remove(gNodesWithWork.begin(), gNodesWithWork.end(), &node),
                         gNodesWithWork.end());
}
