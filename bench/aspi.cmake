scansuite_bench(aspi_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/aspi_bench.cc LIBS platform platform_testing)
target_include_directories(aspi_bench PRIVATE ${PROJECT_SOURCE_DIR}/platform/testing)
