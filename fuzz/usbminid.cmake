# The USB minidriver against a hostile scanner, through its whole self test.
scansuite_fuzz(usbminid_scanner_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/usbminid_scanner_fuzz.cc
  LIBS usbminid_objects platform_testing)
# Pixel work: the line routines correct pixels (a subtraction and a table lookup each), the
# calibration sums, averages and takes maxima of 2,555-pixel reference lines, and the gain table
# is 65,000 divisions at every scan's set-up. Comparison tracing there (every loop bound) finds
# nothing the replies decide and cost half of each run; the register and packet handling keep it.
set_source_files_properties(${PROJECT_SOURCE_DIR}/usbminid/scanner_lines.cc
                            ${PROJECT_SOURCE_DIR}/usbminid/scanner_calibration.cc
                            ${PROJECT_SOURCE_DIR}/usbminid/gain_table.cc
  DIRECTORY ${PROJECT_SOURCE_DIR}/usbminid PROPERTIES COMPILE_OPTIONS -fno-sanitize-coverage=trace-cmp)
