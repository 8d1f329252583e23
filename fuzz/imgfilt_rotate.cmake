# imgfilt's rotations and automatic analyses under fuzzed geometry, angles, regions and settings.
if(TARGET imgfilt_internal)
  scansuite_fuzz(imgfilt_rotate_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/imgfilt_rotate_fuzz.cc
                 LIBS imgfilt_internal)
endif()
