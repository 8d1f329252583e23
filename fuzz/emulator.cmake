scansuite_fuzz(scanner_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scanner_fuzz.cc LIBS platform)
target_include_directories(scanner_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/emulator)
