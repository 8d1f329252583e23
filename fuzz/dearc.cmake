# Whole packed files, as Unpack reads them: header, name line and compressed stream. The codec
# is compiled into the target so that its code is instrumented too.
file(GLOB dearc_codec_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/dearc32/codec/*.cc)
scansuite_fuzz(dearc_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dearc_fuzz.cc ${dearc_codec_sources})
target_include_directories(dearc_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/dearc32)
target_include_directories(dearc_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/dearc32/tests)
scansuite_fuzz(dearc_pack_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dearc_pack_fuzz.cc ${dearc_codec_sources})
target_include_directories(dearc_pack_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/dearc32)
target_include_directories(dearc_pack_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/dearc32/tests)
# Every input is valid for the packer, so comparison tracing (which finds magic values) buys
# nothing here and costs most of each run.
target_compile_options(dearc_pack_fuzz PRIVATE -fno-sanitize-coverage=trace-cmp)
scansuite_fuzz(dearc_unpack_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dearc_unpack_fuzz.cc
  LIBS dearc32 platform_testing)
