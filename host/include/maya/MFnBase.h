// Base of the function sets: a function set works on one MObject. Function
// sets cannot be copied, assigned or have their address taken.
#pragma once

#include <maya/MFn.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MTypes.h>

#define declareMinimalMFn(MFnClass)       \
public:                                   \
    MFn::Type type() const override;      \
    ~MFnClass() override;                 \
    static const char* className();       \
                                          \
private:                                  \
    MFnClass(const MFnClass&);            \
    MFnClass& operator=(const MFnClass&); \
    MFnClass* operator&() const;          \
                                          \
public:

#define declareMFn(MFnClass, MFnParentClass)  \
    declareMinimalMFn(MFnClass) MFnClass() {} \
    MFnClass(MObject& object, MStatus* ReturnStatus = nullptr)

#define declareMFnConstConstructor(MFnClass, MFnParentClass) \
    MFnClass(const MObject& object, MStatus* ReturnStatus = nullptr)

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MFnBase {
public:
    MFnBase();
    virtual ~MFnBase();
    virtual MFn::Type type() const;
    bool hasObj(MFn::Type type) const;
    MObject object(MStatus* ReturnStatus = nullptr) const;
    virtual MStatus setObject(MObject& object);
    virtual MStatus setObject(const MObject& object);
    static const char* className();

private:
    friend struct ::mayahost::detail::Access;
    MFnBase(const MFnBase&);
    MFnBase& operator=(const MFnBase&);
    MFnBase* operator&() const;
    MObject mObject;
};

MAYAHOST_NS_CLOSE
