// The table of localizable texts.
#pragma once

#include <maya/MTypes.h>
#include <maya/MStatus.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MStringResource {
public:
    MStringResource();
    ~MStringResource();
    // The localized text of (module, key) if a resource file gave one, else
    // the registered default, else the id's own default. status is kSuccess,
    // or kNotFound when neither a localized text nor a registration exists.
    static const MString getString(const MStringResourceId& id, MStatus& status);
    // Records the id's default text for (module, key).
    static MStatus registerString(const MStringResourceId& id);
};

MAYAHOST_NS_CLOSE
