# The scanner library's parsers: the message file, and scanner inquiry data through discovery.
scansuite_fuzz(scancore_message_file_fuzz
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scancore_message_file_fuzz.cc LIBS ScanCore)
scansuite_fuzz(scancore_inquiry_fuzz
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scancore_inquiry_fuzz.cc LIBS ScanCore platform_testing)
scansuite_fuzz(scancore_scan_fuzz
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scancore_scan_fuzz.cc LIBS ScanCore emulator platform_testing)
