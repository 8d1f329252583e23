# imgfilt against OpenCV's nearest counterparts, one thread, A4 at 300 and 600 dpi.
if(TARGET imgfilt AND TARGET imgfilt_opencv)
  scansuite_bench(imgfilt_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/imgfilt_bench.cc
                  LIBS imgfilt imgfilt_opencv)
endif()
# The banded chain on a 1200-dpi A4 colour page and screen detection, beside OpenCV.
if(TARGET imgfilt AND TARGET imgfilt_opencv)
  scansuite_bench(imgfilt_chain_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/imgfilt_chain_bench.cc
                  LIBS imgfilt imgfilt_opencv)
endif()
