# Lays out the plug-in module twice for the module tests: as installed, and
# as installed with the motion-format library missing; and a script folder
# holding stand-ins for the three MEL scripts the plug-in sources.
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
file(REMOVE_RECURSE ${PREFIX}-scripts)
foreach(script SkeletonHelpers UIManagement UICallbacks)
  file(WRITE ${PREFIX}-scripts/${script}.mel "// stand-in for the module tests\n")
endforeach()
