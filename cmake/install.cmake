# cmake --install: tarnmake, the setup shell and the TarnSetup package that
# gives a project `cpack -G External` installers.
include(CMakePackageConfigHelpers)
set(TARN_INSTALL_BINDIR bin)
set(TARN_INSTALL_SHELLDIR share/TarnSetup)
set(TARN_INSTALL_CMAKEDIR lib/cmake/TarnSetup)

install(TARGETS tarnmake RUNTIME DESTINATION ${TARN_INSTALL_BINDIR})
# The shell is a template that tarnmake appends to, not a program to run
# here: it goes with the package's data.
if(TARGET TarnSetupShell)
  install(TARGETS TarnSetupShell RUNTIME DESTINATION ${TARN_INSTALL_SHELLDIR}
          ARCHIVE DESTINATION lib)
elseif(TARN_SHIPPED_SHELL STREQUAL tarn_default_shell)
  # The win32-release build may come after this configure, or not at all.
  install(FILES ${TARN_SHIPPED_SHELL} DESTINATION ${TARN_INSTALL_SHELLDIR} OPTIONAL)
elseif(TARN_SHIPPED_SHELL)
  install(FILES ${TARN_SHIPPED_SHELL} DESTINATION ${TARN_INSTALL_SHELLDIR}
          RENAME TarnSetupShell.exe)
endif()

configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/package/TarnSetupConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/TarnSetupConfig.cmake
  INSTALL_DESTINATION ${TARN_INSTALL_CMAKEDIR}
  PATH_VARS TARN_INSTALL_BINDIR TARN_INSTALL_SHELLDIR)
# The tools run on the machine they were built for, whatever its width.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/TarnSetupConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${CMAKE_BINARY_DIR}/package/TarnSetupConfig.cmake
              ${CMAKE_BINARY_DIR}/package/TarnSetupConfigVersion.cmake
              ${CMAKE_CURRENT_LIST_DIR}/package/TarnSetupCPack.cmake
        DESTINATION ${TARN_INSTALL_CMAKEDIR})
