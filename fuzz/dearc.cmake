# Whole packed files, as Unpack reads them: header, name line and compressed stream. The codec
# is compiled into the target so that its code is instrumented too.
file(GLOB dearc_codec_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/dearc32/codec/*.cc)
scansuite_fuzz(dearc_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dearc_fuzz.cc ${dearc_codec_sources})
target_include_directories(dearc_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/dearc32)
target_include_directories(dearc_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/dearc32/tests)
