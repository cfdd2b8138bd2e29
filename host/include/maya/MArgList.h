// The arguments of a command invocation, as the command line gave them.
#pragma once

#include <maya/MStatus.h>
#include <maya/MTypes.h>
#include <maya/MString.h>

#include <string>
#include <vector>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MArgList {
public:
    MArgList();
    MArgList(const MArgList& other);
    ~MArgList();
    MArgList& operator=(const MArgList& other);
    unsigned int length(MStatus* ReturnStatus = nullptr) const;
    // Fails (kInvalidParameter) for an index out of range or an argument
    // that is not an integer.
    int asInt(unsigned int index, MStatus* ReturnStatus = nullptr) const;
    double asDouble(unsigned int index, MStatus* ReturnStatus = nullptr) const;
    bool asBool(unsigned int index, MStatus* ReturnStatus = nullptr) const;
    // Fails (kInvalidParameter) for an index out of range.
    MString asString(unsigned int index, MStatus* ReturnStatus = nullptr) const;

private:
    friend struct ::mayahost::detail::Access;
    std::vector<std::string> mArgs;
};

MAYAHOST_NS_CLOSE
