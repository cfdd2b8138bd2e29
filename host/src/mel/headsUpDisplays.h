// The viewport's heads-up displays as MEL's headsUpDisplay builds them: named
// objects in one of ten sections, one per block, each showing its label and
// what its command returned when it last ran.
#pragma once

#include "mel/interpreter.h"

#include <string>
#include <vector>

namespace mayahost {
namespace mel {

struct HeadsUpDisplay {
    std::string name;
    int id = 0;
    int section = 0;
    int block = 0;
    std::string label;
    std::string command;
    bool visible = true;
    std::string data;  // the command's result as last drawn
};

// In creation order.
std::vector<HeadsUpDisplay>& headsUpDisplays();
void addHeadsUpDisplayCommand(Interpreter& mel);

}  // namespace mel
}  // namespace mayahost
