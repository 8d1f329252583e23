# scanimage through the SANE backend against `scan` for the same page, and scanning over saned.
if(TARGET sane-scansuite)
  scansuite_bench(sane_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sane_bench.cc)
  target_compile_definitions(sane_bench PRIVATE SCANSUITE_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
                             SCANSUITE_SANE_BACKEND_FOLDER="$<TARGET_FILE_DIR:sane-scansuite>")
  add_dependencies(sane_bench scan sane-scansuite)
endif()
