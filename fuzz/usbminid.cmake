# The USB minidriver against a hostile scanner, through its whole self test.
scansuite_fuzz(usbminid_scanner_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/usbminid_scanner_fuzz.cc
  LIBS usbminid_objects platform_testing)
