# Every imgfilt export under fuzzed geometry, band states and settings on small rasters.
if(TARGET imgfilt_internal)
  scansuite_fuzz(imgfilt_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/imgfilt_fuzz.cc LIBS imgfilt_internal)
endif()
# The point operations, descreen, make clear, screen detection and the banded chain.
if(TARGET imgfilt_internal)
  scansuite_fuzz(imgfilt_ops_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/imgfilt_ops_fuzz.cc LIBS imgfilt_internal)
endif()
# The image file readers of the imgfilt program.
if(TARGET imgfilt_files)
  scansuite_fuzz(imgfilt_files_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/imgfilt_files_fuzz.cc LIBS imgfilt_files)
endif()
