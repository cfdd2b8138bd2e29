#include "plugin/idleWorkCmd.h"

#include "node/zemoriDeviceNode.h"

#include <maya/MGlobal.h>

#include <algorithm>
#include <vector>

namespace {

// Main thread only: compute, the command and the node's destructor all run there.
std::vector<ZemoriDeviceNode*> gNodesWithWork;

}  // namespace

ZemoriIdleWorkCmd::~ZemoriIdleWorkCmd() = default;

void* ZemoriIdleWorkCmd::creator() {
    return new ZemoriIdleWorkCmd();
}

MStatus ZemoriIdleWorkCmd::doIt(const MArgList& /*args*/) {
    // The nodes that had work when the run began; only compared, never
    // called through: one node's work may delete another node, whose
    // destructor takes it off gNodesWithWork.
    const std::vector<ZemoriDeviceNode*> due = gNodesWithWork;
    // The host waits for each thread a frameRate change restarts (up to
    // 10 ms): one per run, so that evaluations come between them and no
    // node's pose buffers fill up meanwhile.
    bool restarted = false;
    for (ZemoriDeviceNode* candidate : due) {
        const auto listed = std::find(gNodesWithWork.begin(), gNodesWithWork.end(), candidate);
        if (listed == gNodesWithWork.end()) {
            continue;  // deleted meanwhile
        }
        gNodesWithWork.erase(listed);
        restarted = candidate->runIdleWork(!restarted) || restarted;
    }
    return MS::kSuccess;
}

void queueIdleWork(ZemoriDeviceNode& node) {
    if (std::find(gNodesWithWork.begin(), gNodesWithWork.end(), &node) != gNodesWithWork.end()) {
        return;
    }
    gNodesWithWork.push_back(&node);
    // One run per node that newly has work: a run finds the work of every
    // node, so the later ones have nothing left to do, but none is lost if
    // the host drops its idle queue.
    MGlobal::executeCommandOnIdle(kIdleWorkCommandName, false);
}

void forgetIdleWork(ZemoriDeviceNode& node) {
    gNodesWithWork.erase(std::remove(gNodesWithWork.begin(), gNodesWithWork.end(), &node),
                         gNodesWithWork.end());
}
