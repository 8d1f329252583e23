# The scanner library's parsers: the message file, and scanner inquiry data through discovery.
scansuite_fuzz(scancore_message_file_fuzz
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scancore_message_file_fuzz.cc LIBS ScanCore)
scansuite_fuzz(scancore_inquiry_fuzz
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scancore_inquiry_fuzz.cc LIBS ScanCore platform)
scansuite_fuzz(scancore_scan_fuzz
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scancore_scan_fuzz.cc LIBS ScanCore platform)
target_include_directories(scancore_scan_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/emulator)
