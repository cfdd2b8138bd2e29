// The scene's playback state and current time.
#pragma once

#include <maya/MStatus.h>
#include <maya/MTime.h>
#include <maya/MTypes.h>
#include <maya/MFnAnimCurve.h>

MAYAHOST_NS_OPEN

class OPENMAYAANIM_EXPORT MAnimControl {
public:
    static MTime currentTime();
    static MStatus setCurrentTime(const MTime& time);
    static MStatus playForward();
    static bool isPlaying();
    static MStatus stop();
    static bool isValid();
};

MAYAHOST_NS_CLOSE
