# The rastfx wrappers on fuzzed DIB headers and rows, the descreen on the same (a target of its
# own: it costs many times what the wrappers do), and fuzzed image files through the file
# down-sample (the toolkit's BMP, PNG and TIFF readers).
if(TARGET rastfx_internal)
  scansuite_fuzz(rastfx_dib_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/rastfx_dib_fuzz.cc
                 LIBS rastfx_internal platform_testing)
  scansuite_fuzz(rastfx_descreen_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/rastfx_descreen_fuzz.cc
                 LIBS rastfx_internal platform_testing)
  scansuite_fuzz(rastfx_file_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/rastfx_file_fuzz.cc
                 LIBS rastfx_internal platform_testing)
endif()
# The descreen filter is pixel arithmetic, not parsing: comparison tracing there finds nothing
# and cost most of each run. The header checks in front of it (the exports) keep theirs.
set_source_files_properties(${PROJECT_SOURCE_DIR}/rastfx/src/descreen.cc
                            ${PROJECT_SOURCE_DIR}/rastfx/src/descreen_kernel.cc
  DIRECTORY ${PROJECT_SOURCE_DIR}/rastfx PROPERTIES COMPILE_OPTIONS -fno-sanitize-coverage=trace-cmp)
# The window sums under the descreen (every variant of them) are the same pixel arithmetic; added
# to the options they have (the vector variants carry their instruction sets).
file(GLOB rastfx_window_sums ${PROJECT_SOURCE_DIR}/rastfx/src/window_sums*.cc)
set_property(SOURCE ${rastfx_window_sums} DIRECTORY ${PROJECT_SOURCE_DIR}/rastfx
             APPEND PROPERTY COMPILE_OPTIONS -fno-sanitize-coverage=trace-cmp)
