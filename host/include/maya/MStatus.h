// The outcome of an API call: a status code, true when it is kSuccess.
#pragma once

#include <maya/MTypes.h>
#include <maya/MIOStream.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MStatus {
public:
    enum MStatusCode {
        kSuccess = 0,
        kFailure,
        kInsufficientMemory,
        kInvalidParameter,
        kLicenseFailure,
        kUnknownParameter,
        kNotImplemented,
        kNotFound,
        kEndOfFile
    };

    MStatus() : mCode(kSuccess) {}
    MStatus(MStatusCode code) : mCode(code) {}
    MStatus(const MStatus& other) : mCode(other.mCode) {}
    MStatus& operator=(const MStatus& other) {
        mCode = other.mCode;
        return *this;
    }
    bool operator==(const MStatus& other) const { return mCode == other.mCode; }
    bool operator==(const MStatusCode code) const { return mCode == code; }
    bool operator!=(const MStatus& other) const { return mCode != other.mCode; }
    bool operator!=(const MStatusCode code) const { return mCode != code; }
    bool error() const { return mCode != kSuccess; }
    void clear() { mCode = kSuccess; }
    MStatusCode statusCode() const { return mCode; }
    // A short English text for the code.
    MString errorString() const;
    // Writes "<text>: <errorString>" and a newline to std::cerr.
    void perror(const char* text) const;
    void perror(const MString& text) const;
    // Writes "<file>:<line>: <errorString>" and a newline to std::cerr.
    void pAPIerror(const char* file, int line) const;
    operator bool() const { return mCode == kSuccess; }

    friend bool operator==(const MStatus::MStatusCode code, const MStatus& status) {
        return status.mCode == code;
    }
    friend bool operator!=(const MStatus::MStatusCode code, const MStatus& status) {
        return status.mCode != code;
    }

private:
    MStatusCode mCode;
};

MAYAHOST_NS_CLOSE

#ifndef MNoMSTypedef
typedef MStatus MS;
#endif

#define MFAIL(_status) (MStatus::kSuccess != (_status))

#define CHECK_MSTATUS_AND_RETURN(_status, _retVal) \
    {                                              \
        MStatus _maStat = (_status);               \
        if (MStatus::kSuccess != _maStat) {        \
            _maStat.pAPIerror(__FILE__, __LINE__); \
            return (_retVal);                      \
        }                                          \
    }

#define CHECK_MSTATUS_AND_RETURN_IT(_status) CHECK_MSTATUS_AND_RETURN((_status), (_status))

#define CHECK_MSTATUS(_status)                     \
    {                                              \
        MStatus _maStat = (_status);               \
        if (MStatus::kSuccess != _maStat) {        \
            _maStat.pAPIerror(__FILE__, __LINE__); \
        }                                          \
    }
