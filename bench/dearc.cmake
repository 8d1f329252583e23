# Expansion throughput of `Unpack` beside the system's `lha` on the same data.
scansuite_bench(dearc_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dearc_bench.cc
                LIBS dearc32 dearc32_codec dearc32_sample_data platform_testing)
