// The plug-in's take report as the recorder reads it from the info line
// shown when a take is written, and writes it next to the take as take.json.
#pragma once

#include <cstdint>
#include <string>

namespace ztools {

// What the stage said of a take: its take node's string attributes.
struct StageTakeText {
    std::string name;
    std::string notes;
    std::string description;
    std::string databasePath;
    std::string result;
};

struct TakeFigures {
    std::int64_t framesRecorded = 0;
    std::int64_t gapsFilled = 0;
    std::int64_t longestGapFilled = 0;
    std::int64_t gapsUnfilled = 0;
    std::int64_t framesLost = 0;  // in the stream while the take was recorded
    // The take node's text of its first and last keys' timecode; empty
    // without one (read from the node, not the info line).
    std::string startTimecode;
    std::string endTimecode;
    // A take the stage started: its text goes into the JSON too.
    bool fromStage = false;
    StageTakeText stage;
};

// The figures of an info line of the take report; false for any other line.
bool parseTakeReportLine(const std::string& line, TakeFigures& out);
// One JSON object with the five figures and the two timecodes under
// lowerCamelCase keys; a stage's take adds name, notes, description,
// databasePath and result.
std::string takeFiguresJson(const TakeFigures& figures);
bool writeTakeJson(const std::string& path, const TakeFigures& figures, std::string& error);
// take.json in the folder of `takePath` (the current folder when it has none).
std::string takeJsonPathBeside(const std::string& takePath);

}  // namespace ztools
