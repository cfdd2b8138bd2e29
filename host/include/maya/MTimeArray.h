// A growable array of MTime values.
#pragma once

#include <maya/MStatus.h>
#include <maya/MTime.h>

#include <vector>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MTimeArray {
public:
    MTimeArray();
    MTimeArray(const MTimeArray& other);
    MTimeArray(const MTime src[], unsigned int count);
    MTimeArray(unsigned int initialSize, const MTime& initialValue);
    ~MTimeArray();
    MTimeArray& operator=(const MTimeArray& other);
    const MTime& operator[](unsigned int index) const;
    // kFailure when `index` is past the end.
    MStatus set(const MTime& element, unsigned int index);
    // New elements are 0 in the UI unit; shrinking keeps the room for a
    // later growth.
    MStatus setLength(unsigned int length);
    unsigned int length() const;
    MStatus append(const MTime& element);
    MStatus clear();

private:
    friend struct ::mayahost::detail::Access;
    std::vector<MTime> mItems;
};

MAYAHOST_NS_CLOSE
