# rastfx against OpenCV's nearest counterparts on an A4 300-dpi colour page, one thread.
if(TARGET rastfx AND TARGET rastertk_opencv)
  scansuite_bench(rastfx_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/rastfx_bench.cc
                  LIBS rastfx rastertk_opencv platform_testing)
endif()
