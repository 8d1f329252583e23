scansuite_bench(registry_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/registry_bench.cc LIBS platform platform_testing)
target_include_directories(registry_bench PRIVATE ${PROJECT_SOURCE_DIR}/platform/testing)
