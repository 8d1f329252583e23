# The adapter setup's script (sections, copy, shortcut and Modify lines, the group-converter file
# made from them) and its CONFIG.SYS edit; the port card's address list.
scansuite_fuzz(hbasetup_script_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/hbasetup_script_fuzz.cc
               LIBS hbasetup_core)
scansuite_fuzz(hbasetup_config_sys_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/hbasetup_config_sys_fuzz.cc
               LIBS hbasetup_core)
scansuite_fuzz(portcard_address_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/portcard_address_fuzz.cc
               LIBS portcard)
