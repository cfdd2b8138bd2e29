// A command's syntax description; the host parses arguments positionally and
// ignores it.
#pragma once

#include <maya/MStatus.h>
#include <maya/MTypes.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MSyntax {
public:
    MSyntax();
    MSyntax(const MSyntax& other);
    ~MSyntax();
    MSyntax& operator=(const MSyntax& other);
};

MAYAHOST_NS_CLOSE
