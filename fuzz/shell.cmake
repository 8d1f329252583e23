# The shell's group converter on SETUP.INI files of any content.
scansuite_fuzz(grpconv_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/grpconv_fuzz.cc LIBS platform)
