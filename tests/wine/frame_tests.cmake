# The frame's Wine tests: the real plug-in DLL, the NOVRT.dll test double, and a probe DLL built
# from the plug-in's own frame and core objects that exports their inner routines by name.
qarn_wine_runtime_dll(qarn_plugin)
add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/novrt ${CMAKE_CURRENT_BINARY_DIR}/novrt)

add_library(qarn_frame_probe SHARED frame_probe_dll.cpp frame_probe_dll.def)
set_target_properties(qarn_frame_probe PROPERTIES PREFIX "" OUTPUT_NAME qarn_frame_probe)
target_include_directories(qarn_frame_probe PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(qarn_frame_probe PRIVATE -fno-exceptions -fno-rtti)
qarn_link_frame_dll(qarn_frame_probe)
qarn_wine_runtime_dll(qarn_frame_probe)

# The routed services, as the image test expects them in the plug-in's delay-import table.
file(STRINGS ${QARN_NOVRT_SERVICES} frame_service_lines REGEX "^[A-Za-z]")
set(frame_services)
foreach(line IN LISTS frame_service_lines)
  string(REGEX REPLACE "[ \t#].*$" "" line "${line}")
  list(APPEND frame_services "${line}")
endforeach()
list(JOIN frame_services "," frame_services)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QARN_NOVRT_SERVICES})

foreach(test image load binding delay_load patch lifecycle end_to_end)
  qarn_add_wine_test(frame_${test}_test frame_${test}_test.cpp)
  target_compile_definitions(frame_${test}_test PRIVATE
    QARN_PLUGIN_FILE="$<TARGET_FILE_NAME:qarn_plugin>"
    QARN_PROBE_FILE="$<TARGET_FILE_NAME:qarn_frame_probe>"
    QARN_NOVRT_SERVICES="${frame_services}")
endforeach()
