scansuite_fuzz(aspi_srb_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/aspi_srb_fuzz.cc LIBS platform_testing)
