# The rastfx wrappers on fuzzed DIB headers and rows, and fuzzed image files through the file
# down-sample (the toolkit's BMP, PNG and TIFF readers).
if(TARGET rastfx_internal)
  scansuite_fuzz(rastfx_dib_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/rastfx_dib_fuzz.cc
                 LIBS rastfx_internal platform_testing)
  scansuite_fuzz(rastfx_file_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/rastfx_file_fuzz.cc
                 LIBS rastfx_internal platform_testing)
endif()
