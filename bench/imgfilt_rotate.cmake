# imgfilt's rotations against OpenCV's, one thread, A4 at 300 and 600 dpi.
if(TARGET imgfilt AND TARGET imgfilt_opencv)
  scansuite_bench(imgfilt_rotate_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/imgfilt_rotate_bench.cc
                  LIBS imgfilt imgfilt_opencv)
endif()
