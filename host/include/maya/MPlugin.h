// Registration function types (kept in MTypes.h as well, where older code
// looks for them).
#pragma once

#include <maya/MTypes.h>
