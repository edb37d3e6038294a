# The setup shell's decisions are tested natively too; the program itself
# end to end under Wine and Xvfb, through its windows, by a small driver.
if(TARGET test_shell)
  target_link_libraries(test_shell PRIVATE tarnshell)
endif()

if(WIN32 AND TARGET TarnSetupShell AND TARGET tarnmake)
  add_executable(e2e_driver e2e/driver/driver.cpp)
  target_link_libraries(e2e_driver PRIVATE user32 shell32 advapi32)
  # A test program that links against the shell's exports.
  add_executable(test_exports e2e/exports/exports.cpp)
  target_link_libraries(test_exports PRIVATE TarnSetupShell)
  target_include_directories(test_exports PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_compile_definitions(test_exports PRIVATE TARN_IMPORT)

  # Beside the executable it imports from, where the loader looks first.
  set_target_properties(test_exports PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/src)
  # Under Wine it relocates and binds the shell itself first (see there).
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/exports-test)
  add_test(NAME test_exports COMMAND test_exports "Z:${CMAKE_BINARY_DIR}/exports-test")
  set_tests_properties(test_exports PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)
  # The shell as shipped (TARN_SHIPPED_SHELL, by default the win32-release
  # configuration's beside this one), when that file exists; else this build's.
  add_test(NAME e2e_shell
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run.sh ${CMAKE_BINARY_DIR}
                   $<TARGET_FILE:TarnSetupShell> $<TARGET_FILE:tarnmake> $<TARGET_FILE:e2e_driver>
                   ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/e2e)
  set_tests_properties(e2e_shell PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 900 RESOURCE_LOCK wineprefix_zh_CN
                       ENVIRONMENT "TARN_E2E_SHELL=${TARN_SHIPPED_SHELL}")
  # The shipped shell stays within its 288 KiB and without the runtime's
  # exception support (its terminate handler's text gives it away), which one
  # throwing call or a thread_local with a destructor brings back: 110 KiB.
  add_test(NAME shipped_shell_size
           COMMAND sh -c "[ -f \"$1\" ] || exit 77; n=$(stat -c %s \"$1\"); echo \"$1: $n bytes\"; [ $n -le 294912 ] && ! grep -q 'terminate called' \"$1\""
                   size ${TARN_SHIPPED_SHELL})
  set_tests_properties(shipped_shell_size PROPERTIES SKIP_RETURN_CODE 77)
endif()

# The same shell on systems of other ANSI code pages: each locale its own
# Wine prefix (tests/wine-prefix.sh), booted first, stopped last.
if(WIN32 AND TARGET TarnSetupShell AND TARGET tarnmake)
  foreach(locale en_US ja_JP pl_PL)
    add_test(NAME wine_boot_${locale}
             COMMAND ${CMAKE_SOURCE_DIR}/tests/wine-prefix.sh boot ${CMAKE_BINARY_DIR} ${locale}.UTF-8)
    set_tests_properties(wine_boot_${locale} PROPERTIES FIXTURES_SETUP wine_${locale} TIMEOUT 300)
    add_test(NAME wine_stop_${locale}
             COMMAND ${CMAKE_SOURCE_DIR}/tests/wine-prefix.sh stop ${CMAKE_BINARY_DIR} ${locale}.UTF-8)
    set_tests_properties(wine_stop_${locale} PROPERTIES FIXTURES_CLEANUP wine_${locale})
    # The wizard's pages, texts and results, the uninstall, the install page
    # with its quit question, the silent install into a Chinese folder and
    # with a Polish desktop and folder, the wizard into a Polish folder, a
    # killed install and its undoing at the next start. Not
    # the keyboard case: the sheet's buttons (Alt+N) and the folder
    # browser's caption are the system's, in its language.
    add_test(NAME e2e_shell_${locale}
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run.sh ${CMAKE_BINARY_DIR}
                     $<TARGET_FILE:TarnSetupShell> $<TARGET_FILE:tarnmake> $<TARGET_FILE:e2e_driver>
                     ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/e2e-${locale}
                     install uninstall quit_no silent_world desktop_pl wizard_pl names_beyond_gbk killed)
    # Its installers are made in the Chinese prefix (see run.sh), whose
    # server e2e_shell stops between its cases: never both at once.
    set_tests_properties(e2e_shell_${locale} PROPERTIES FIXTURES_REQUIRED "wine;wine_${locale}" TIMEOUT 600
                         RESOURCE_LOCK wineprefix_zh_CN
                         ENVIRONMENT "TARN_E2E_SHELL=${TARN_SHIPPED_SHELL};TARN_E2E_LOCALE=${locale}.UTF-8")
  endforeach()
endif()
