scansuite_bench(emulator_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/emulator_bench.cc
                ${PROJECT_SOURCE_DIR}/platform/aspi/scsi_adapter.cc
                $<TARGET_OBJECTS:platform_core> $<TARGET_OBJECTS:platform_emulator>
                LIBS Threads::Threads SQLite::SQLite3)
target_include_directories(emulator_bench PRIVATE ${PROJECT_SOURCE_DIR}/emulator
                           ${PROJECT_SOURCE_DIR}/platform/include)
