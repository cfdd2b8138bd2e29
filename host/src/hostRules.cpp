// Rules the host application enforces on plug-ins: the graph is read-only
// while a node computes, and plugs belong to the main thread. A breach is
// refused where the host refuses it, and always recorded and printed, so that
// a plug-in that passes here keeps the rules in the real host too.
#include "hostState.h"

#include <mayahost/host.h>

#include <maya/MPxNode.h>

#include <exception>
#include <iostream>
#include <system_error>
#include <thread>

namespace mayahost {
namespace detail {

namespace {

struct BreachLog {
    std::mutex mutex;
    std::vector<RuleBreach> breaches;
};

BreachLog& breachLog() {
    static BreachLog* log = new BreachLog;
    return *log;
}

std::atomic<std::thread::id>& mainThreadId() {
    static std::atomic<std::thread::id> id{std::this_thread::get_id()};
    return id;
}

// Nodes whose compute runs on this thread, innermost last.
thread_local std::vector<const NodeData*> tComputing;
// The main thread evaluates a frame of playback.
thread_local bool tEvaluatingFrame = false;
// This thread is an evaluation worker.
thread_local bool tEvaluationWorker = false;

void recordBreach(const char* rule, const std::string& node, const std::string& operation) {
    RuleBreach breach{rule, node, operation};
    std::string line = "host rule broken: " + breach.rule + ": " + operation + " on " + node;
    if (!tComputing.empty()) line += " (computing " + tComputing.back()->name + ")";
    std::cerr << line << std::endl;
    BreachLog& log = breachLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    log.breaches.push_back(std::move(breach));
}

}  // namespace

const char* const kRuleGraphReadOnlyInCompute = "graph is read-only during compute";
const char* const kRulePlugsOnMainThread = "plugs belong to the main thread";
const char* const kRuleApiOnMainThread =
    "off the main thread only executeCommandOnIdle and the device node's own calls";
const char* const kRulePlugsInParallelCompute =
    "a compute evaluated in parallel uses its data block, not plugs";

void adoptMainThread() {
    mainThreadId().store(std::this_thread::get_id());
}

bool onMainThread() {
    return mainThreadId().load() == std::this_thread::get_id();
}

ComputeScope::ComputeScope(const NodeData& node) {
    tComputing.push_back(&node);
}

ComputeScope::~ComputeScope() {
    tComputing.pop_back();
}

bool insideCompute() {
    return !tComputing.empty();
}

FrameEvaluationScope::FrameEvaluationScope() {
    tEvaluatingFrame = true;
}

FrameEvaluationScope::~FrameEvaluationScope() {
    tEvaluatingFrame = false;
}

bool computesOnWorker(const MPxNode& node) {
    return tEvaluatingFrame &&
           host().playbackEvaluation.load() ==
               static_cast<int>(mayahost::PlaybackEvaluation::kParallel) &&
           node.schedulingType() != MPxNode::kUntrusted;
}

MStatus computeOnWorker(NodeData& node, const MPlug& plug, MDataBlock& block) {
    MStatus status;
    std::exception_ptr thrown;
    const auto compute = [&] {
        const ComputeScope scope(node);
        try {
            status = node.user->compute(plug, block);
        } catch (...) {
            thrown = std::current_exception();
        }
    };
    try {
        std::thread worker([&] {
            tEvaluationWorker = true;
            compute();
        });
        worker.join();
    } catch (const std::system_error&) {
        compute();  // no thread to be had: evaluated here, as a serial evaluation would
    }
    if (thrown) std::rethrow_exception(thrown);
    return status;
}

bool graphEditAllowed(const char* operation, const std::string& target, const char* member) {
    if (tComputing.empty()) return true;
    recordBreach(kRuleGraphReadOnlyInCompute, member ? target + "." + member : target, operation);
    return false;
}

void noteApiCall(const char* operation, const std::string& what) {
    if (!onMainThread()) recordBreach(kRuleApiOnMainThread, what, operation);
}

void notePlugAccess(const char* operation, const std::string& node, const char* attribute) {
    if (tEvaluationWorker && !tComputing.empty()) {
        recordBreach(kRulePlugsInParallelCompute, node + "." + attribute, operation);
    } else if (!onMainThread()) {
        recordBreach(kRulePlugsOnMainThread, node + "." + attribute, operation);
    }
}

}  // namespace detail

std::vector<RuleBreach> ruleBreaches() {
    detail::BreachLog& log = detail::breachLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    return log.breaches;
}

std::vector<RuleBreach> takeRuleBreaches() {
    detail::BreachLog& log = detail::breachLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    std::vector<RuleBreach> taken;
    taken.swap(log.breaches);
    return taken;
}

}  // namespace mayahost
