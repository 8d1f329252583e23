# Helpers shared by every module's CMakeLists.

# scansuite_test(NAME [THREADED] SOURCES... [LIBS ...]): one GoogleTest binary, registered with
# CTest. THREADED labels its tests "threaded": they run threads of their own or of the code under
# test, and `make test-tsan` runs them under ThreadSanitizer.
function(scansuite_test name)
  if(NOT SCANSUITE_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "THREADED" "" "SOURCES;LIBS" ${ARGN})
  set(labels "")
  if(T_THREADED)
    set(labels threaded)
  endif()
  add_executable(${name} ${T_SOURCES} $<TARGET_OBJECTS:platform_testing_gtest>)
  target_link_libraries(${name} PRIVATE ${T_LIBS} platform_testing GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # Under test nothing reaches the user's data folder: the data and home folders are scratch
  # folders of the build, and a host built with no root of its own is an error naming the test.
  set(scratch ${CMAKE_BINARY_DIR}/test-scratch)
  file(MAKE_DIRECTORY ${scratch})
  # The environment goes in through a launcher: a list in the discovered tests' ENVIRONMENT
  # property does not survive the generated discovery script.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
    "${CMAKE_COMMAND};-E;env;SCANSUITE_BIN=${CMAKE_BINARY_DIR}/bin;SCANSUITE_TESTBIN=${CMAKE_BINARY_DIR}/tests;SCANSUITE_TEST=${name};XDG_DATA_HOME=${scratch}/data;HOME=${scratch}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${labels}")
  set_property(GLOBAL APPEND PROPERTY SCANSUITE_TEST_TARGETS ${name})
  if(T_THREADED)
    set_property(GLOBAL APPEND PROPERTY SCANSUITE_THREADED_TARGETS ${name})
  endif()
endfunction()

# scansuite_bench(NAME SOURCES... [LIBS ...])
function(scansuite_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# scansuite_fuzz(NAME SOURCES... [LIBS ...])
function(scansuite_fuzz name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()

# The targets a directory and those below it define.
function(scansuite_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    scansuite_targets_below(${sub} below)
    list(APPEND targets ${below})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# `threaded_tests`: the threaded test programs and everything they may load or run (every library
# and program of the suite), without the other test programs, so that the thread-sanitizer stage
# builds only what it runs. Called once every directory has been added.
function(scansuite_threaded_tests_target)
  get_property(threaded GLOBAL PROPERTY SCANSUITE_THREADED_TARGETS)
  get_property(tests GLOBAL PROPERTY SCANSUITE_TEST_TARGETS)
  if(NOT threaded)
    return()
  endif()
  scansuite_targets_below(${PROJECT_SOURCE_DIR} all)
  set(wanted ${threaded})
  foreach(target ${all})
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(SHARED_LIBRARY|MODULE_LIBRARY)$" OR
       (type STREQUAL "EXECUTABLE" AND NOT target IN_LIST tests))
      list(APPEND wanted ${target})
    endif()
  endforeach()
  add_custom_target(threaded_tests)
  add_dependencies(threaded_tests ${wanted})
endfunction()
