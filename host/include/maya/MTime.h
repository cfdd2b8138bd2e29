// A time value in a unit.
#pragma once

#include <maya/MTypes.h>
#include <maya/MStatus.h>

MAYAHOST_NS_OPEN

class OPENMAYAANIM_EXPORT MTime {
public:
    enum Unit {
        kInvalid = 0,
        kHours = 1,
        kMinutes = 2,
        kSeconds = 3,
        kMilliseconds = 4,
        kGames = 5,
        k15FPS = kGames,
        kFilm = 6,
        k24FPS = kFilm,
        kPALFrame = 7,
        k25FPS = kPALFrame,
        kNTSCFrame = 8,
        k30FPS = kNTSCFrame,
        kShowScan = 9,
        k48FPS = kShowScan,
        kPALField = 10,
        k50FPS = kPALField,
        kNTSCField = 11,
        k60FPS = kNTSCField,
        k2FPS = 12,
        k3FPS,
        k4FPS,
        k5FPS,
        k6FPS,
        k8FPS,
        k10FPS,
        k12FPS,
        k16FPS,
        k20FPS,
        k40FPS,
        k75FPS,
        k80FPS,
        k100FPS,
        k120FPS,
        k125FPS,
        k150FPS,
        k200FPS,
        k240FPS,
        k250FPS,
        k300FPS,
        k375FPS,
        k400FPS,
        k500FPS,
        k600FPS,
        k750FPS,
        k1200FPS,
        k1500FPS,
        k2000FPS,
        k3000FPS,
        k6000FPS = 42,
        k23_976FPS = 43,
        k29_97FPS = 44,
        k29_97DF = 45,
        k47_952FPS = 46,
        k59_94FPS = 47,
        k44100FPS = 48,
        k48000FPS = 49,
        k90FPS = 50,
        kUserDef = 51,
        kLast = 52
    };

    MTime();
    MTime(const MTime& other);
    MTime(double timeValue, Unit unit = kFilm);
    ~MTime();
    double value() const;
    Unit unit() const;
    MStatus setValue(double value);
    // Changes the unit, keeping the moment (the value is converted).
    MStatus setUnit(Unit unit);
    // The value in another unit.
    double as(Unit unit) const;
    // The unit of the user interface: kFilm (24 frames per second) until set.
    static Unit uiUnit();
    static MStatus setUIUnit(Unit unit);
    MTime& operator=(const MTime& other);
    bool operator==(const MTime& other) const;
    bool operator!=(const MTime& other) const;
    bool operator<(const MTime& other) const;

private:
    friend struct ::mayahost::detail::Access;
    double mValue;
    Unit mUnit;
};

MAYAHOST_NS_CLOSE
