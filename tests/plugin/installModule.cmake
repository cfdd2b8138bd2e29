# Lays out the plug-in module twice for the module tests: as installed, and
# as installed with the motion-format library missing.
#   cmake -DBUILD_DIR=... -DPREFIX=... [-DCONFIG=...] -P installModule.cmake
set(config_args)
if(CONFIG)
  set(config_args --config ${CONFIG})
endif()
foreach(prefix ${PREFIX} ${PREFIX}-nolib)
  file(REMOVE_RECURSE ${prefix})
  execute_process(
    COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
            --component ZemoriModule ${config_args}
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "installing the module into ${prefix} failed: ${result}")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX}-nolib/Ostrevo)
