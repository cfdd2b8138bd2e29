// The node leaving the graph and coming back. A deleted node waits in the
// undo queue, perhaps for the rest of the session, before it is destroyed;
// what it holds of the system (the port) it gives up when it leaves.
#include "node/zemoriDeviceNode.h"

#include <maya/MPlug.h>

void ZemoriDeviceNode::leftGraph() {
    mInGraph.store(false);
    // The take ends with what the journal has now; it is written from the
    // take queue, which needs no node.
    endTake();
    // The receiving thread keeps running but, without a socket, waits.
    closeSocket();
}

void ZemoriDeviceNode::returnedToGraph() {
    if (mInGraph.exchange(true)) {
        return;  // a node just made: it never left
    }
    // Idle work that came due while the node was out was put off until now.
    requestIdleWork();
    if (!isLive() || mLiveOffPending || mSocket.load() != 0) {
        return;
    }
    const MObject self = thisMObject();
    openLiveSocket(MPlug(self, mInputPort).asInt(), MPlug(self, mJournalSeconds).asDouble());
}
