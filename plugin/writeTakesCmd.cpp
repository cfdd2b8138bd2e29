#include "plugin/writeTakesCmd.h"

#include "recording/pendingTake.h"

ZemoriWriteTakesCmd::~ZemoriWriteTakesCmd() = default;

void* ZemoriWriteTakesCmd::creator() {
    return new ZemoriWriteTakesCmd();
}

MStatus ZemoriWriteTakesCmd::doIt(const MArgList& /*args*/) {
    setResult(writePendingTakes());
    return MS::kSuccess;
}
