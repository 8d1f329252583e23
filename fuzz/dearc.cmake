# Whole packed files, as Unpack reads them: header, name line and compressed stream.
scansuite_fuzz(dearc_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dearc_fuzz.cc LIBS dearc32_codec)
