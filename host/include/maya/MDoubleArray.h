// A growable array of doubles.
#pragma once

#include <maya/MStatus.h>
#include <maya/MTypes.h>

#include <vector>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MDoubleArray {
public:
    MDoubleArray();
    MDoubleArray(const MDoubleArray& other);
    MDoubleArray(const double src[], unsigned int count);
    MDoubleArray(const float src[], unsigned int count);
    MDoubleArray(unsigned int initialSize, double initialValue = 0);
    ~MDoubleArray();
    MDoubleArray& operator=(const MDoubleArray& other);
    const double& operator[](unsigned int index) const;
    double& operator[](unsigned int index);
    // kFailure when `index` is past the end.
    MStatus set(double element, unsigned int index);
    // New elements are 0; shrinking keeps the room for a later growth.
    MStatus setLength(unsigned int length);
    unsigned int length() const;
    MStatus append(double element);
    MStatus clear();

private:
    friend struct ::mayahost::detail::Access;
    std::vector<double> mItems;
};

MAYAHOST_NS_CLOSE
