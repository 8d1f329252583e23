scansuite_bench(platform_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform_bench.cc LIBS platform platform_testing)
target_include_directories(platform_bench PRIVATE ${PROJECT_SOURCE_DIR}/platform/testing)
