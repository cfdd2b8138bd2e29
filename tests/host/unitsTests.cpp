// UI units and unit conversion on connections: joint chains driven by
// unitless triples and by anim curves, in centimetre-and-degree and in
// metre-and-radian scenes. melTests.cpp carries the version data of this
// test program.
#define MNoVersionString
#include "melFixture.h"

#include <maya/MAnimControl.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MPxNode.h>
#include <maya/MTime.h>
#include <maya/MTimeArray.h>

#include <array>
#include <cmath>
#include <string>

namespace {

const double kPi = std::acos(-1.0);

// Unitless float triples set by hand, as a device node's outputs are.
class PoseSource : public MPxNode {
public:
    static MObject aRotations, aOffsets;
    static void* creator() { return new PoseSource; }
    static MStatus initialize() {
        MFnNumericAttribute fn;
        aRotations = fn.create("rotations", "rots", MFnNumericData::k3Float);
        fn.setArray(true);
        aOffsets = fn.create("offsets", "ofs", MFnNumericData::k3Float);
        fn.setArray(true);
        addAttribute(aRotations);
        addAttribute(aOffsets);
        return MS::kSuccess;
    }
};
MObject PoseSource::aRotations;
MObject PoseSource::aOffsets;

class Units : public MelTest {
protected:
    void SetUp() override {
        MelTest::SetUp();
        MObject plugin = testPlugin();
        MFnPlugin fn(plugin);
        ASSERT_TRUE(fn.registerNode("poseSource", MTypeId(0x7F0B1), PoseSource::creator,
                                    PoseSource::initialize));
    }
    static double number(const std::string& text) { return std::stod(run(text)); }
    static std::array<double, 3> position(const std::string& node) {
        std::array<double, 3> p{};
        EXPECT_TRUE(mayahost::worldPosition(node, p.data())) << node;
        return p;
    }
    static void expectPosition(const std::string& node, double x, double y, double z) {
        const auto p = position(node);
        EXPECT_NEAR(p[0], x, 1e-5) << node;
        EXPECT_NEAR(p[1], y, 1e-5) << node;
        EXPECT_NEAR(p[2], z, 1e-5) << node;
    }
    static std::string conversionNodes() {
        return run("stringArrayToString(`ls -type unitConversion`, \" \")");
    }
};

TEST_F(Units, UnitlessTriplesDriveAJointChainThroughConversionNodes) {
    EXPECT_EQ(
        run("currentUnit -q -l") + " " + run("currentUnit -q -a") + " " + run("currentUnit -q -t"),
        "cm deg film");
    EXPECT_EQ(run("currentUnit -q -linear -fullName"), "centimeter");
    run("createNode poseSource -n src;"
        "select -clear; joint -n hip -p 0 0 0; joint -n knee -p 10 0 0; joint -n foot -p 20 0 0;"
        "connectAttr src.rotations[0] hip.rotate; connectAttr src.rotations[1] knee.rotate;"
        "connectAttr src.offsets[1] knee.translate");
    // Unitless into angular in a degree scene: one node per triple, turning
    // one degree at the source into one at the joint. Unitless into linear
    // in centimetres: none.
    EXPECT_EQ(conversionNodes(), "unitConversion1 unitConversion2");
    EXPECT_EQ(run("nodeType unitConversion2"), "unitConversion");
    EXPECT_NEAR(number("getAttr unitConversion1.conversionFactor"), kPi / 180.0, 1e-12);

    const double a = 30.0;
    const double b = 45.0;
    run("setAttr src.offsets[1] 10 0 0; setAttr src.rotations[0] 0 0 " + std::to_string(a) +
        "; setAttr src.rotations[1] 0 0 " + std::to_string(b));
    EXPECT_NEAR(number("getAttr hip.rotateZ"), a, 1e-9);
    EXPECT_NEAR(mayahost::getDouble(mayahost::findNode("hip"), "rotateZ"), a * kPi / 180.0, 1e-9)
        << "held in radians";
    const double ra = a * kPi / 180.0;
    const double rab = (a + b) * kPi / 180.0;
    expectPosition("knee", 10 * std::cos(ra), 10 * std::sin(ra), 0);
    expectPosition("foot", 10 * std::cos(ra) + 10 * std::cos(rab),
                   10 * std::sin(ra) + 10 * std::sin(rab), 0);

    // The conversion node shows, unless skipped.
    EXPECT_EQ(run("stringArrayToString(`listConnections -plugs true hip.rotate`, \" \")"),
              "unitConversion1.output");
    EXPECT_EQ(run("stringArrayToString(`listConnections -p 1 -skipConversionNodes true hip`, "
                  "\" \")"),
              "src.rotations[0]");
    EXPECT_EQ(run("stringArrayToString(`listConnections -source false -scn true -plugs true "
                  "-connections true src`, \" \")"),
              "src.rotations[0] hip.rotate src.rotations[1] knee.rotate src.offsets[1] "
              "knee.translate");
    EXPECT_EQ(run("stringArrayToString(`listConnections -type unitConversion src`, \" \")"),
              "unitConversion1 unitConversion2");
    EXPECT_EQ(run("isConnected src.rotations[0] hip.rotate") +
                  run("isConnected -ignoreUnitConversion src.rotations[0] hip.rotate") +
                  run("isConnected src.offsets[1] knee.translate"),
              "011");

    // In radians the old factor stays and a new connection needs no node:
    // the unitless value is read as radians.
    mayahost::setUiAngleUnit(mayahost::AngleUnit::kRadians);
    EXPECT_EQ(run("currentUnit -q -angle"), "rad");
    EXPECT_NEAR(number("getAttr hip.rotateZ"), ra, 1e-9);
    run("connectAttr src.rotations[2] foot.rotate; setAttr src.rotations[2] 0 0 0.5");
    EXPECT_EQ(conversionNodes(), "unitConversion1 unitConversion2");
    EXPECT_NEAR(number("getAttr foot.rotateZ"), 0.5, 1e-6);

    // Unitless into linear in metres: a factor of 100.
    EXPECT_EQ(run("currentUnit -linear meter"), "m");
    EXPECT_EQ(mayahost::uiLinearUnit(), mayahost::LinearUnit::kMeters);
    run("connectAttr -force src.offsets[2] foot.translate; setAttr src.offsets[2] 0.1 0 0");
    EXPECT_EQ(conversionNodes(), "unitConversion1 unitConversion2 unitConversion3");
    EXPECT_NEAR(number("getAttr unitConversion3.conversionFactor"), 100.0, 1e-12);
    EXPECT_NEAR(number("getAttr foot.translateX"), 0.1, 1e-6);
    expectPosition("foot", 10 * std::cos(ra) + 10 * std::cos(rab),
                   10 * std::sin(ra) + 10 * std::sin(rab), 0);
    const auto foot = position("foot");
    EXPECT_NEAR(number("float $p[] = `joint -q -position foot`; $p[1]"), foot[1] / 100.0, 1e-7);

    // A conversion node goes with its connection, and the connection with it.
    run("disconnectAttr src.rotations[0] hip.rotate");
    EXPECT_EQ(conversionNodes(), "unitConversion2 unitConversion3");
    EXPECT_NEAR(number("getAttr hip.rotateZ"), ra, 1e-9) << "the last value stays";
    run("setAttr hip.rotateZ 0");
    run("delete unitConversion2");
    EXPECT_EQ(run("size(`listConnections knee.rotate`)"), "0");
    run("setAttr knee.rotate 0 0 0");
    EXPECT_EQ(failure("disconnectAttr src.rotations[1] knee.rotate"),
              "There is no connection from 'src.rotations[1]' to 'knee.rotate' to disconnect.");
    EXPECT_EQ(run("size(`listConnections knee.translate`)"), "1");
    run("delete src");
    EXPECT_EQ(conversionNodes(), "") << "deleting the source takes its conversion node";
    run("delete hip");
    EXPECT_EQ(run("size(`ls -type joint`)"), "0") << "a joint goes with what lies below it";
    EXPECT_EQ(failure("currentUnit -linear parsec"), "currentUnit: 'parsec' is not a linear unit.");
}

// Keys of an angular curve in radians and of a linear curve in centimetres,
// as the API takes them.
void makeCurves(double turn, double length) {
    MTimeArray times;
    for (double frame : {0.0, 10.0, 20.0}) times.append(MTime(frame, MTime::kFilm));
    const double turns[] = {0.0, turn, 3.0 * turn};
    const double lengths[] = {length / 2.0, length, 2.0 * length};
    MFnAnimCurve rotation;
    MFnAnimCurve translation;
    rotation.create(MFnAnimCurve::kAnimCurveTA);
    translation.create(MFnAnimCurve::kAnimCurveTL);
    MDoubleArray turnValues(turns, 3);
    MDoubleArray lengthValues(lengths, 3);
    ASSERT_TRUE(rotation.addKeys(&times, &turnValues));
    ASSERT_TRUE(translation.addKeys(&times, &lengthValues));
}

TEST_F(Units, AnimCurvesPoseAJointChainAtKeyTimesInAnyUnits) {
    const double turn = kPi / 6.0;  // radians
    const double length = 10.0;     // centimetres
    std::array<double, 3> poses[2];
    for (int scene = 0; scene < 2; ++scene) {
        const bool metric = scene == 1;
        mayahost::newScene();
        mayahost::setUiLinearUnit(metric ? mayahost::LinearUnit::kMeters
                                         : mayahost::LinearUnit::kCentimeters);
        mayahost::setUiAngleUnit(metric ? mayahost::AngleUnit::kRadians
                                        : mayahost::AngleUnit::kDegrees);
        const double cmPerUnit = metric ? 100.0 : 1.0;
        const double radPerUnit = metric ? 1.0 : kPi / 180.0;
        makeCurves(turn, length);
        run("select -clear; joint -n hip; joint -n knee; joint -n foot -p " +
            std::to_string(2 * length / cmPerUnit) +
            " 0 0;"
            "connectAttr animCurveTA1.output hip.rotateZ;"
            "connectAttr animCurveTL1.output knee.translateX");
        EXPECT_EQ(conversionNodes(), "") << "same kinds, no conversion";

        // At a key time the pose is the keys', shown in the UI units.
        ASSERT_TRUE(MAnimControl::setCurrentTime(MTime(10.0, MTime::kFilm)));
        EXPECT_NEAR(number("getAttr hip.rotateZ"), turn / radPerUnit, 1e-9);
        EXPECT_NEAR(number("getAttr animCurveTA1.output"), turn / radPerUnit, 1e-9);
        EXPECT_NEAR(number("getAttr knee.translateX"), length / cmPerUnit, 1e-9);
        expectPosition("knee", length * std::cos(turn), length * std::sin(turn), 0);
        poses[scene] = position("foot");
        EXPECT_NEAR(number("float $p[] = `joint -q -p foot`; $p[0]"), poses[scene][0] / cmPerUnit,
                    1e-7);

        // Linear between keys here; held before the first and after the last.
        ASSERT_TRUE(MAnimControl::setCurrentTime(MTime(15.0, MTime::kFilm)));
        EXPECT_NEAR(number("getAttr hip.rotateZ") * radPerUnit, 2.0 * turn, 1e-9);
        ASSERT_TRUE(MAnimControl::setCurrentTime(MTime(-5.0, MTime::kFilm)));
        EXPECT_NEAR(number("getAttr knee.translateX") * cmPerUnit, length / 2.0, 1e-9);
        ASSERT_TRUE(MAnimControl::setCurrentTime(MTime(40.0, MTime::kFilm)));
        EXPECT_NEAR(number("getAttr hip.rotateZ") * radPerUnit, 3.0 * turn, 1e-9);
    }
    // The same keys give the same pose whatever the UI units.
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(poses[0][k], poses[1][k], 1e-9);

    // Keys keep their moment when the UI time unit changes: film frame 10
    // is ntsc frame 12.5.
    EXPECT_EQ(run("currentUnit -time ntsc"), "ntsc");
    ASSERT_TRUE(MAnimControl::setCurrentTime(MTime(12.5, MTime::uiUnit())));
    EXPECT_NEAR(number("getAttr hip.rotateZ"), turn, 1e-9);
    EXPECT_EQ(run("currentUnit -t \"24fps\"; currentUnit -q -t"), "film");

    // A linear curve into a rotation in a centimetre-and-degree scene: one
    // centimetre turns one degree.
    run("currentUnit -l cm -a deg; connectAttr animCurveTL1.output foot.rotateX");
    EXPECT_EQ(conversionNodes(), "unitConversion1");
    EXPECT_NEAR(number("getAttr foot.rotateX"), length, 1e-9);
}

}  // namespace
