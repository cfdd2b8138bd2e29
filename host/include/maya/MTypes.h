// Version, export macros, fixed-size array types and the registration
// function types shared by all API headers.
#pragma once

#include <maya/MApiNamespace.h>

#include <cstdint>

#define MAYA_API_VERSION 20230300

#ifndef DLL_PUBLIC
#if defined(_WIN32)
#define DLL_PUBLIC
#else
#define DLL_PUBLIC __attribute__((visibility("default")))
#endif
#endif

#ifndef PLUGIN_EXPORT
#if defined(_WIN32) && defined(__GNUC__)
#define PLUGIN_EXPORT __declspec(dllexport)
#elif defined(_WIN32)
#define PLUGIN_EXPORT _declspec(dllexport)
#else
#define PLUGIN_EXPORT DLL_PUBLIC
#endif
#endif

// The stand-in library exports every symbol itself, so importing needs no
// declaration attribute.
#ifndef OPENMAYA_EXPORT
#define OPENMAYA_EXPORT DLL_PUBLIC
#endif
#ifndef OPENMAYAANIM_EXPORT
#define OPENMAYAANIM_EXPORT DLL_PUBLIC
#endif
#ifndef OPENMAYAUI_EXPORT
#define OPENMAYAUI_EXPORT DLL_PUBLIC
#endif
#ifndef FND_EXPORT
#define FND_EXPORT DLL_PUBLIC
#endif

#define BEGIN_NO_SCRIPT_SUPPORT public
#define END_NO_SCRIPT_SUPPORT public

typedef float float2[2];
typedef float float3[3];
typedef float float4[4];
typedef double double2[2];
typedef double double3[3];
typedef double double4[4];
typedef int int2[2];
typedef int int3[3];
typedef int int4[4];
typedef short short2[2];
typedef short short3[3];

#if defined(_WIN32)
typedef __int64 MInt64;
typedef unsigned __int64 MUint64;
#else
typedef long MInt64;
typedef unsigned long MUint64;
#endif
typedef std::uintptr_t MUintPtrSz;

typedef void* (*MCreatorFunction)();
typedef MSyntax (*MCreateSyntaxFunction)();
typedef MStatus (*MInitializeFunction)();
