// HumanIK as scripts see it: the mayaHIK plug-in, character nodes, their
// definitions, locks and sources. Nothing is retargeted.
#pragma once

#include "mel/interpreter.h"

#include <string>

namespace mayahost {
namespace mel {

// Loads mayaHIK: registers HIKCharacterNode and the HumanIK procedures.
// False, with Maya's text in *error, when the session has no HumanIK.
bool loadHumanIk(Interpreter& mel, std::string* error);
bool humanIkLoaded();
// Forgets the plug-in, its procedures and every character (the host's reset).
void clearHumanIk(Interpreter& mel);

}  // namespace mel
}  // namespace mayahost
