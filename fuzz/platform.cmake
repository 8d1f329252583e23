scansuite_fuzz(profile_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/profile_fuzz.cc LIBS platform)
target_include_directories(profile_fuzz PRIVATE ${PLATFORM_INTERNAL_INCLUDES})
