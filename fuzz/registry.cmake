# The registry sources are compiled into the target, rather than linked from the platform
# library, so that libFuzzer's coverage instrumentation reaches the parser and the store.
file(GLOB registry_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform/registry/*.cc
     ${PROJECT_SOURCE_DIR}/platform/faults/*.cc)
# The version records the Windows-specific keys are written from.
list(APPEND registry_sources ${PROJECT_SOURCE_DIR}/platform/system/system.cc
     ${PROJECT_SOURCE_DIR}/platform/files/winpath.cc)
scansuite_fuzz(regedit_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/regedit_fuzz.cc ${registry_sources}
               LIBS SQLite::SQLite3)
target_include_directories(regedit_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/platform/include
                           ${PROJECT_SOURCE_DIR}/platform/registry ${PROJECT_SOURCE_DIR}/platform/testing)
