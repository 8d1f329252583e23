# The data-source setup: its scripts, identity replies over both transports, and the program
# manager's command strings its shell service reads.
if(TARGET dssetup_core)
  scansuite_fuzz(dssetup_script_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dssetup_script_fuzz.cc
                 LIBS dssetup_core)
  scansuite_fuzz(dssetup_identity_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dssetup_identity_fuzz.cc
                 LIBS dssetup_core platform_testing)
endif()
scansuite_fuzz(progman_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/progman_fuzz.cc LIBS platform)
