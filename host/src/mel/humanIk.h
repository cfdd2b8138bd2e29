// HumanIK as scripts see it: the mayaHIK plug-in, character nodes, their
// definitions, locks and sources. Nothing is retargeted.
#pragma once

#include "mel/interpreter.h"

#include <string>

namespace mayahost {
namespace mel {

// Loads mayaHIK: registers HIKCharacterNode and the plug-in's commands;
// HumanIK's procedures come with its scripts.
// False, with Maya's text in *error, when the session has no HumanIK.
bool loadHumanIk(Interpreter& mel, std::string* error);
bool humanIkLoaded();
// `source` of one of HumanIK's scripts (hikGlobalUtils.mel and others, by
// name or path) defines HumanIK's procedures; false for another file.
// Throws MelError when the session has no HumanIK scripts.
bool sourceHumanIkScript(Interpreter& mel, const std::string& name);
// Forgets the plug-in, its procedures and every character (the host's reset).
void clearHumanIk(Interpreter& mel);

}  // namespace mel
}  // namespace mayahost
