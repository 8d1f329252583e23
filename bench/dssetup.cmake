# The data-source setup: high-speed parallel block reads and a whole unattended install.
if(TARGET dssetup_core AND TARGET GTest::gtest)
  scansuite_bench(dssetup_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dssetup_bench.cc
                  LIBS dssetup_core dssetup_stand_ins emulator platform_testing GTest::gtest)
  target_include_directories(dssetup_bench PRIVATE ${PROJECT_SOURCE_DIR}/dssetup/tests)
  add_dependencies(dssetup_bench dssetup_media)
  # The medium the install runs from lies in the build's media folder.
  target_compile_definitions(dssetup_bench PRIVATE SCANSUITE_BENCH_BIN="${CMAKE_BINARY_DIR}/bin")
endif()
