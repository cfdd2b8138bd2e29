# GoogleTest from the system, or built from Debian's sources when cross
# compiling (the system's libraries are for the build machine).
if(CMAKE_CROSSCOMPILING)
  if(NOT TARGET GTest::gtest_main)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
    # Recent GoogleTest sources define these names themselves.
    foreach(_zemori_gtest_lib gtest gtest_main gmock gmock_main)
      if(NOT TARGET GTest::${_zemori_gtest_lib})
        add_library(GTest::${_zemori_gtest_lib} ALIAS ${_zemori_gtest_lib})
      endif()
    endforeach()
  endif()
  # Wine's first-run setup takes a while: do it now rather than inside the
  # first test discovery, which has a short time-out.
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --init RESULT_VARIABLE _zemori_emulator_ready)
    if(NOT _zemori_emulator_ready EQUAL 0)
      message(WARNING "The emulator could not be prepared: ${_zemori_emulator_ready}")
    endif()
  endif()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)
