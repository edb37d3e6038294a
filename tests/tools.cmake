# tarnmake on the sample product: built natively, or the .exe under Wine.
if(TARGET tarnmake)
  set(tarnmake_cmd $<TARGET_FILE:tarnmake>)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    set(tarnmake_cmd ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:tarnmake>)
  endif()
  foreach(scenario package installer deflate damaged errors hostile install safety reproducible signed)
    add_test(NAME tarnmake_${scenario}
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tarnmake/run.sh ${scenario}
                     ${CMAKE_BINARY_DIR}/tarnmake-tests/${scenario}
                     ${CMAKE_SOURCE_DIR}/examples/sample ${tarnmake_cmd})
    set_tests_properties(tarnmake_${scenario} PROPERTIES TIMEOUT 300
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
