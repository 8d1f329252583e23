scansuite_bench(kvx_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/kvx_bench.cc LIBS kvxscan_linked_rig)
