// A device node's time is the scene time through a timeToUnitConversion
// node whose factor Maya fixes when the connection is made, so a change of
// the scene's time unit leaves it in the old unit. The plug-in connects the
// time again when the unit changes.
#pragma once

#include <maya/MStatus.h>

MStatus watchTimeUnit();
void unwatchTimeUnit();
