scansuite_fuzz(kvx_device_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/kvx_device_fuzz.cc LIBS kvxscan_linked_rig)
scansuite_fuzz(kvx_control_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/kvx_control_fuzz.cc LIBS kvxscan_linked_rig)
