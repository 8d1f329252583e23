# `cmake --install`: the libraries with their public headers, a CMake package
# (find_package(scansuite) gives scansuite::ScanCore, scansuite::imgfilt, scansuite::dearc32,
# scansuite::platform and the emulated machine, scansuite::emulator), pkg-config files, the
# programs with their man pages, bash completion for `scan`, and the SANE backend in SANE's
# backend folder with its dll.d entry. Everything is placed relative to the prefix, so a
# `cmake --install build --prefix DIR` puts the whole tree under DIR.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(SCANSUITE_VERSION 1.0.0)
set(SCANSUITE_SANE_BACKEND_DIR ${CMAKE_INSTALL_LIBDIR}/sane CACHE STRING
    "Where SANE's dll backend loads backends from (relative to the prefix, or absolute)")
set(scansuite_includedir ${CMAKE_INSTALL_INCLUDEDIR}/scansuite)
set(scansuite_cmakedir ${CMAKE_INSTALL_LIBDIR}/cmake/scansuite)

# The libraries: their include folders are the source folders in the build and one folder of
# the prefix once installed; each finds its neighbours beside itself.
set(scansuite_libraries platform ScanCore imgfilt dearc32 emulator)
foreach(lib ${scansuite_libraries})
  get_target_property(dirs ${lib} INTERFACE_INCLUDE_DIRECTORIES)
  set(wrapped "")
  foreach(dir ${dirs})
    list(APPEND wrapped "$<BUILD_INTERFACE:${dir}>")
  endforeach()
  list(APPEND wrapped "$<INSTALL_INTERFACE:${scansuite_includedir}>")
  set_target_properties(${lib} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${wrapped}"
                        INSTALL_RPATH "$ORIGIN")
endforeach()
install(TARGETS ${scansuite_libraries} EXPORT scansuiteTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/include/platform
                  ${PROJECT_SOURCE_DIR}/scancore/include/scancore
                  ${PROJECT_SOURCE_DIR}/dearc32/include/dearc32
        DESTINATION ${scansuite_includedir} FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_SOURCE_DIR}/imgfilt/include/imgfilt.h DESTINATION ${scansuite_includedir})

install(EXPORT scansuiteTargets NAMESPACE scansuite:: DESTINATION ${scansuite_cmakedir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/scansuiteConfig.cmake.in
  ${CMAKE_BINARY_DIR}/install/scansuiteConfig.cmake INSTALL_DESTINATION ${scansuite_cmakedir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/install/scansuiteConfigVersion.cmake
  VERSION ${SCANSUITE_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/install/scansuiteConfig.cmake
              ${CMAKE_BINARY_DIR}/install/scansuiteConfigVersion.cmake
        DESTINATION ${scansuite_cmakedir})

# pkg-config: one file per library, each finding the prefix from its own place.
if(IS_ABSOLUTE ${CMAKE_INSTALL_LIBDIR})
  set(SCANSUITE_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
else()
  file(RELATIVE_PATH up /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
  set(SCANSUITE_PC_PREFIX "\${pcfiledir}/${up}")
endif()
foreach(pc scansuite-platform scansuite-scancore scansuite-imgfilt scansuite-dearc32 scansuite-emulator)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/pkgconfig/${pc}.pc.in
                 ${CMAKE_BINARY_DIR}/install/${pc}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/install/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

# The programs, with their man pages and the completion of `scan`.
set(scansuite_programs scan imgfilt_app scanhost scanreg arcpack dearc)
set_target_properties(${scansuite_programs} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
install(TARGETS ${scansuite_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
file(GLOB scansuite_man1 ${PROJECT_SOURCE_DIR}/docs/man/*.1)
install(FILES ${scansuite_man1} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/sane-scansuite.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
install(FILES ${PROJECT_SOURCE_DIR}/apps/scan/scan-completion.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME scan)

# The SANE backend: the library where SANE's dll backend looks, the entry that makes it load
# it, and the configuration file with its one setting commented.
if(TARGET sane-scansuite)
  install(TARGETS sane-scansuite LIBRARY DESTINATION ${SCANSUITE_SANE_BACKEND_DIR} NAMELINK_SKIP)
  install(FILES ${PROJECT_SOURCE_DIR}/sane/dll.d/scansuite
          DESTINATION ${CMAKE_INSTALL_SYSCONFDIR}/sane.d/dll.d)
  install(FILES ${PROJECT_SOURCE_DIR}/sane/scansuite.conf DESTINATION ${CMAKE_INSTALL_SYSCONFDIR}/sane.d)
endif()
