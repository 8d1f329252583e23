scansuite_fuzz(scanner_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scanner_fuzz.cc LIBS emulator)
