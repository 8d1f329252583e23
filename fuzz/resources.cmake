# Resource scripts as language libraries carry them. The parser is compiled into the target so
# that its code is instrumented too.
file(GLOB rc_parser_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform/modules/rc_*.cc)
scansuite_fuzz(rc_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/rc_fuzz.cc ${rc_parser_sources}
               ${PROJECT_SOURCE_DIR}/platform/modules/dialog_template.cc
               ${PROJECT_SOURCE_DIR}/platform/files/winpath.cc)
target_include_directories(rc_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/platform/include
                           ${PROJECT_SOURCE_DIR}/platform/modules)
