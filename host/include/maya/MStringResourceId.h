// Identifies a localizable text: the module (plug-in) id, a key, and the
// default text used when no localized text is available.
#pragma once

#include <maya/MTypes.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MStringResourceId {
public:
    MStringResourceId();
    MStringResourceId(const char* pluginId, const char* keyString, const MString& defaultValue);
    MStringResourceId(const MStringResourceId& other);
    MStringResourceId& operator=(const MStringResourceId& other);
    // Same module and key.
    bool operator==(const MStringResourceId& other) const;
    ~MStringResourceId();

private:
    friend struct ::mayahost::detail::Access;
    MString mModule;
    MString mKey;
    MString mDefault;
};

MAYAHOST_NS_CLOSE
