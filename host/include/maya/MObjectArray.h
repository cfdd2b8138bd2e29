// A growable array of MObject handles.
#pragma once

#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <vector>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MObjectArray {
public:
    MObjectArray();
    MObjectArray(const MObjectArray& other);
    MObjectArray(unsigned int initialSize, const MObject& initialValue = MObject::kNullObj);
    ~MObjectArray();
    MObjectArray& operator=(const MObjectArray& other);
    const MObject& operator[](unsigned int index) const;
    MObject& operator[](unsigned int index);
    unsigned int length() const;
    MStatus append(const MObject& element);
    MStatus clear();

    typedef std::vector<MObject>::iterator iterator;
    typedef std::vector<MObject>::const_iterator const_iterator;
    iterator begin() { return mItems.begin(); }
    iterator end() { return mItems.end(); }
    const_iterator begin() const { return mItems.begin(); }
    const_iterator end() const { return mItems.end(); }

private:
    friend struct ::mayahost::detail::Access;
    std::vector<MObject> mItems;
};

MAYAHOST_NS_CLOSE
