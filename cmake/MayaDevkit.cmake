# Builds the plug-in's code against an installed Maya 2023 devkit instead of
# the embedded host: headers from <devkit>/include, import libraries from
# <devkit>/lib. Meant for MSVC on Windows; set ZEMORI_MAYA_DEVKIT to the
# devkit folder and ZEMORI_BUILD_TESTS / ZEMORI_BUILD_TOOLS to OFF (tests and
# tools run on the embedded host only).
set(ZEMORI_MAYA_INCLUDE_DIR ${ZEMORI_MAYA_DEVKIT}/include)
set(ZEMORI_MAYA_LIBRARY_DIR ${ZEMORI_MAYA_DEVKIT}/lib)
if(NOT EXISTS ${ZEMORI_MAYA_INCLUDE_DIR}/maya/MFnPlugin.h)
  message(FATAL_ERROR
    "ZEMORI_MAYA_DEVKIT=${ZEMORI_MAYA_DEVKIT}: no include/maya/MFnPlugin.h there")
endif()

set(ZEMORI_MAYA_LIBRARIES)
foreach(maya_library OpenMaya OpenMayaAnim OpenMayaUI Foundation)
  find_library(ZEMORI_MAYA_${maya_library}_LIBRARY ${maya_library}
    PATHS ${ZEMORI_MAYA_LIBRARY_DIR} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ZEMORI_MAYA_${maya_library}_LIBRARY)
    message(FATAL_ERROR "Maya devkit library ${maya_library} not found in ${ZEMORI_MAYA_LIBRARY_DIR}")
  endif()
  list(APPEND ZEMORI_MAYA_LIBRARIES ${ZEMORI_MAYA_${maya_library}_LIBRARY})
endforeach()

# The devkit's headers are third-party code: no warnings from them.
target_include_directories(zemori_core SYSTEM PUBLIC ${ZEMORI_MAYA_INCLUDE_DIR})
target_link_libraries(zemori_core PUBLIC ${ZEMORI_MAYA_LIBRARIES})
# What the host's headers expect of a plug-in build on Windows.
if(WIN32)
  target_compile_definitions(zemori_core PUBLIC NT_PLUGIN REQUIRE_IOSTREAM _BOOL)
endif()
