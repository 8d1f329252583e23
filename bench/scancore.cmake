# Initialize over a machine with 4 adapters and 8 scanners each, beside the bare probing.
scansuite_bench(scancore_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scancore_bench.cc
                LIBS ScanCore emulator platform_testing)
# The scan read path against the emulator's delivery and memcpy; host shading; `scan`'s memory.
scansuite_bench(scancore_scan_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scancore_scan_bench.cc
                LIBS ScanCore emulator platform_testing)
target_include_directories(scancore_scan_bench PRIVATE ${PROJECT_SOURCE_DIR}/scancore/src)
target_compile_definitions(scancore_scan_bench PRIVATE SCANSUITE_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
add_dependencies(scancore_scan_bench scan)
