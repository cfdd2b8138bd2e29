// zemori-record --trigger-port: the takes the stage starts and stops, each
// written as <Name>.ma, <Name>.bvh and <Name>.json.
#pragma once

#include "tools/lib/bvhFile.h"
#include "tools/recorder/headlessRecorder.h"

#include <atomic>
#include <iosfwd>

namespace ztools {

// Starts the recorder (plug-in, node, live) and the stage trigger. False
// with a message when either fails.
bool startForStage(HeadlessRecorder& recorder, std::string& error);

// After startForStage: waits for the skeleton, binds it, then writes each
// take the stage records into options.outDir until options.takes takes, the
// end of the stream or `stop` (a take in progress is written first).
// `source` may be null; else each take is compared with it. Returns the
// exit status: 0 done, 1 failure.
int recordFromStage(HeadlessRecorder& recorder, const RecorderOptions& options,
                    const BvhMotion* source, std::ostream& out, std::ostream& err,
                    const std::atomic<bool>& stop);

}  // namespace ztools
