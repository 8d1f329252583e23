scansuite_fuzz(aspi_srb_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/aspi_srb_fuzz.cc LIBS platform)
target_include_directories(aspi_srb_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/platform/testing)
