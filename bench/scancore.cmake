# Initialize over a machine with 4 adapters and 8 scanners each, beside the bare probing.
scansuite_bench(scancore_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scancore_bench.cc
                LIBS ScanCore emulator platform_testing)
