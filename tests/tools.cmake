# tarnmake on the sample product: built natively, or the .exe under Wine.
if(TARGET tarnmake)
  set(tarnmake_cmd $<TARGET_FILE:tarnmake>)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    set(tarnmake_cmd ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:tarnmake>)
  endif()
  foreach(scenario package installer deflate damaged errors hostile install safety reproducible signed script unicode help actions lint killed)
    add_test(NAME tarnmake_${scenario}
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tarnmake/run.sh ${scenario}
                     ${CMAKE_BINARY_DIR}/tarnmake-tests/${scenario}
                     ${CMAKE_SOURCE_DIR}/examples/sample ${tarnmake_cmd})
    set_tests_properties(tarnmake_${scenario} PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77
                         ENVIRONMENT "TARN_SANDBOX_ROOT=${CMAKE_BINARY_DIR}/sandbox")
    if(WIN32)
      set_tests_properties(tarnmake_${scenario} PROPERTIES FIXTURES_REQUIRED wine)
    endif()
    if(WIN32 AND scenario STREQUAL "signed" AND TARGET TarnSetupShell)
      # Signing needs a real PE image: the shell itself.
      set_property(TEST tarnmake_${scenario} APPEND PROPERTY ENVIRONMENT
                   "TARN_SHELL=$<TARGET_FILE:TarnSetupShell>")
    endif()
  endforeach()
endif()

# The example project through cpack -G External, with Tarn as cmake --install
# leaves it; under Wine, its installer runs silently with the real shell.
# That case takes tarnmake from the native build beside this one, and is
# skipped when there is none.
if(TARGET tarnmake AND NOT WIN32)
  add_test(NAME cpack_hello
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/cpack/run.sh ${CMAKE_BINARY_DIR}/cpack-tests/native
                   ${CMAKE_SOURCE_DIR}/examples/cpack-hello ${CMAKE_BINARY_DIR})
  set_tests_properties(cpack_hello PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
elseif(WIN32 AND TARGET TarnSetupShell)
  add_test(NAME cpack_hello_wine
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/cpack/run.sh ${CMAKE_BINARY_DIR}/cpack-tests/wine
                   ${CMAKE_SOURCE_DIR}/examples/cpack-hello ${tarn_build_root}/native
                   $<TARGET_FILE:TarnSetupShell>)
  set_tests_properties(cpack_hello_wine PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77
                       FIXTURES_REQUIRED wine
                       ENVIRONMENT "TARN_WINE=${CMAKE_SOURCE_DIR}/cmake/wine-run.sh;TARN_BUILD_DIR=${CMAKE_BINARY_DIR}")
endif()

# Tarn's own .deb and .tar.gz from the release build beside this one; its
# tarnmake builds the sample. Skipped when there is no release build.
if(TARGET tarnmake AND NOT WIN32)
  add_test(NAME tarn_package
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/run.sh ${tarn_build_root}/release
                   ${CMAKE_SOURCE_DIR}/examples/sample ${CMAKE_BINARY_DIR}/package-tests)
  set_tests_properties(tarn_package PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()
