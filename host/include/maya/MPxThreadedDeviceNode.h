// Base of device nodes that read their device on a thread of their own, and
// the buffer type of their data pools.
//
// The host runs threadHandler on a thread of the node's from creation on.
// By default (continuous) that thread runs until the node goes, whatever
// live and frameRate do: the handler sees them through isLive() and
// endThreadLoop(). Only under the restarting reading
// (mayahost::setDeviceThreadLifetime) does a change of live or frameRate
// call threadShutdownHandler, wait for the thread to return and start it
// again. isDone() is false before the first start and never reset by the
// host after it (a handler clears it itself); the shutdown handler may come
// at any moment after a start, even before threadHandler's first statement.
// The thread fills pool buffers and pushes them; compute on the main thread
// pops and releases them.
#pragma once

#include <maya/MPxNode.h>
#include <maya/MTypes.h>
#include <maya/MObjectArray.h>
#include <maya/MString.h>

MAYAHOST_NS_OPEN

class OPENMAYAUI_EXPORT MCharBuffer {
public:
    MCharBuffer();
    ~MCharBuffer();
    char* ptr();
    long size();

private:
    friend class MPxThreadedDeviceNode;
    friend struct ::mayahost::detail::Access;
    MCharBuffer(const MCharBuffer&);
    MCharBuffer& operator=(const MCharBuffer&);
    void setPtr(char* ptr);
    void setSize(long size);
    char* mPtr;
    long mSize;
};

class OPENMAYAUI_EXPORT MPxThreadedDeviceNode : public MPxNode {
public:
    MPxThreadedDeviceNode();
    ~MPxThreadedDeviceNode() override;
    MPxNode::Type type() const override;
    // Runs on the node's thread; the default returns at once.
    virtual void threadHandler();
    // Runs on the main thread before the node's thread is awaited; the
    // default calls setDone(true).
    virtual void threadShutdownHandler();

    // The value of the live attribute; callable from the node's thread.
    bool isLive();
    bool isDone();
    MStatus setDone(bool done);
    // Marks the start of one pass of the thread's loop.
    MStatus beginThreadLoop();
    // Sleeps so that passes are at least 1/frameRate seconds apart.
    MStatus endThreadLoop();
    // nCount buffers of nElements * nSize bytes. Fails (kFailure) when pools
    // exist, (kInvalidParameter) for a count or size that is not positive.
    MStatus createMemoryPools(int nCount, int nElements, long nSize);
    MStatus destroyMemoryPools();
    // A free buffer; fails (kFailure) when none is free.
    MStatus acquireDataStorage(MCharBuffer& buffer);
    // Queues a filled buffer for the main thread and schedules the refresh
    // outputs for evaluation at idle time.
    MStatus pushThreadData(MCharBuffer& buffer);
    // The oldest queued buffer; fails (kFailure) when the queue is empty.
    MStatus popThreadData(MCharBuffer& buffer);
    long threadDataCount();
    // Returns a buffer to the free pool; fails (kInvalidParameter) for a
    // buffer that is not an acquired one of this node.
    MStatus releaseDataStorage(MCharBuffer& buffer);
    MStatus setRefreshOutputAttributes(const MObjectArray& attributeList);

    static MObject output;
    static MObject live;
    static MObject frameRate;
    static const char* className();

private:
    friend struct ::mayahost::detail::Access;
    MPxThreadedDeviceNode(const MPxThreadedDeviceNode&);
    MPxThreadedDeviceNode& operator=(const MPxThreadedDeviceNode&);
    ::mayahost::detail::DeviceState* mDevice;
};

MAYAHOST_NS_CLOSE
