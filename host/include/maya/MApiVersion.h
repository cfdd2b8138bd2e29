// Defines, in the one translation unit that includes it without
// MNoVersionString, the exported version text and plug-in signature that the
// host reads from a plug-in.
#pragma once

#include <maya/MTypes.h>

#ifndef MNoVersionString
#define MAYAHOST_STRINGIZE2(x) #x
#define MAYAHOST_STRINGIZE(x) MAYAHOST_STRINGIZE2(x)
extern "C" {
PLUGIN_EXPORT extern char MApiVersion[];
PLUGIN_EXPORT char MApiVersion[] = MAYAHOST_STRINGIZE(MAYA_API_VERSION);
PLUGIN_EXPORT extern char ADSK_PLUGIN_SIGNATURE[];
PLUGIN_EXPORT char ADSK_PLUGIN_SIGNATURE[] = "mayahost-unsigned-plugin";
}
#undef MAYAHOST_STRINGIZE
#undef MAYAHOST_STRINGIZE2
#endif
