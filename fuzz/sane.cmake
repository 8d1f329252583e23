# The SANE backend's entry points in random order with random values, on the emulated machine.
if(TARGET sane_backend_objects)
  scansuite_fuzz(sane_backend_fuzz
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sane_backend_fuzz.cc $<TARGET_OBJECTS:sane_backend_objects>
    LIBS sane_backend_objects emulator)
endif()
