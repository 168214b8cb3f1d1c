# Builds the .deb from the build folder's programs into OUTPUT, replacing an older one.
file(REMOVE_RECURSE ${OUTPUT})
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${OUTPUT}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cpack failed (${result})")
endif()
file(GLOB debs ${OUTPUT}/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one .deb in ${OUTPUT}, found: ${debs}")
endif()
