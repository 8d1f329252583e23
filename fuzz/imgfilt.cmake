# Every imgfilt export under fuzzed geometry, band states and settings on small rasters.
if(TARGET imgfilt_internal)
  scansuite_fuzz(imgfilt_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/imgfilt_fuzz.cc LIBS imgfilt_internal)
endif()
