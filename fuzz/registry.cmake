scansuite_fuzz(regedit_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/regedit_fuzz.cc LIBS platform)
target_include_directories(regedit_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/platform/testing)
