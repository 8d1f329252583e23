scansuite_bench(emulator_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/emulator_bench.cc LIBS emulator)
