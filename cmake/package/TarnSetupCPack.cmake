# CPack's External generator runs this after staging the install tree:
# tarnmake writes the setup script and the UI script from the staged files
# and CPack's variables (in GBK: the conversion is tarnmake's), then builds
# <name>-<version>-setup.exe, which CPack copies to the build folder.
#
# Read here: CPACK_PACKAGE_NAME (the product, and the Uninstall key),
# CPACK_PACKAGE_VERSION, CPACK_PACKAGE_VENDOR, CPACK_PACKAGE_HOMEPAGE_URL,
# CPACK_PACKAGE_INSTALL_DIRECTORY (the folder under Program Files and the
# shortcuts' folder in the Start menu), CPACK_RESOURCE_FILE_LICENSE, CPACK_PACKAGE_EXECUTABLES
# (pairs of a program under bin/, without .exe, and its shortcut's name),
# CPACK_TARN_BUILD_OPTIONS (more arguments of tarnmake build), and what
# tarnmake script adds to the entries: CPACK_TARN_REGISTRY_FILE (registry
# scripts imported at install), CPACK_TARN_REGISTRY_LIST (what the uninstall
# removes from the registry), CPACK_TARN_RUN (a program of the install tree,
# then its arguments), CPACK_TARN_RUN_WAIT and CPACK_TARN_SHORTCUTS (FILE=NAME,
# NAME below the Start menu's Programs or a folder placeholder).

foreach(_var CPACK_TARN_TARNMAKE CPACK_TARN_SHELL CPACK_PACKAGE_NAME CPACK_PACKAGE_VERSION
        CPACK_TEMPORARY_DIRECTORY CPACK_TOPLEVEL_DIRECTORY)
  if("${${_var}}" STREQUAL "")
    message(FATAL_ERROR "TarnSetup: ${_var} is empty (is find_package(TarnSetup) called before include(CPack)?)")
  endif()
endforeach()

# Names that become a file name or a list item here: a ";" would split
# them, and "/", "\" or ".." in the installer's file name would put it
# elsewhere than the build folder. One clear line instead.
function(_tarn_refuse var text why)
  message(FATAL_ERROR "TarnSetup: ${var} '${text}' ${why}")
endfunction()
foreach(_var CPACK_PACKAGE_NAME CPACK_PACKAGE_VERSION CPACK_PACKAGE_INSTALL_DIRECTORY)
  string(FIND "${${_var}}" ";" _semi)
  if(NOT _semi EQUAL -1)
    _tarn_refuse(${_var} "${${_var}}" "holds ';', which splits a CMake list")
  endif()
  if("${${_var}}" MATCHES "(^|[/\\])\\.\\.([/\\]|$)")
    _tarn_refuse(${_var} "${${_var}}" "holds '..', which climbs out of its folder")
  endif()
endforeach()
foreach(_var CPACK_PACKAGE_NAME CPACK_PACKAGE_VERSION)
  if("${${_var}}" MATCHES "[/\\]")
    _tarn_refuse(${_var} "${${_var}}" "holds / or \\, but it names the installer's file")
  endif()
endforeach()
string(LENGTH "${CPACK_PACKAGE_NAME}" _length)
if(_length GREATER 255)
  _tarn_refuse(CPACK_PACKAGE_NAME "${CPACK_PACKAGE_NAME}" "is over 255 bytes, more than an Uninstall key's name")
endif()

# Components are staged in folders of their own, unless the install is
# monolithic; a setup installs them all as one tree.
set(_roots)
if(CPACK_COMPONENTS_ALL AND NOT CPACK_MONOLITHIC_INSTALL)
  foreach(_component IN LISTS CPACK_COMPONENTS_ALL)
    if(IS_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}/${_component}${CPACK_PACKAGING_INSTALL_PREFIX}")
      list(APPEND _roots "${CPACK_TEMPORARY_DIRECTORY}/${_component}${CPACK_PACKAGING_INSTALL_PREFIX}")
    endif()
  endforeach()
else()
  list(APPEND _roots "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
endif()

if(NOT _roots)
  message(FATAL_ERROR "TarnSetup: CPack staged nothing under ${CPACK_TEMPORARY_DIRECTORY}")
endif()

set(_args)
set(_pairs ${CPACK_PACKAGE_EXECUTABLES})
list(LENGTH _pairs _count)
math(EXPR _odd "${_count} % 2")
if(_odd)
  message(FATAL_ERROR "TarnSetup: CPACK_PACKAGE_EXECUTABLES must be pairs of a program and a name")
endif()
set(_dir "${CPACK_PACKAGE_INSTALL_DIRECTORY}")
if(_dir STREQUAL "")
  set(_dir "${CPACK_PACKAGE_NAME} ${CPACK_PACKAGE_VERSION}")
endif()
# <TARGET_FOLDER> is the Programs folder itself: the product's folder is
# part of each shortcut's path.
while(_pairs)
  list(POP_FRONT _pairs _program _label)
  foreach(_part "${_program}" "${_label}")
    if("${_part}" MATCHES "(^|[/\\])\\.\\.([/\\]|$)")
      _tarn_refuse(CPACK_PACKAGE_EXECUTABLES "${_part}" "holds '..', which climbs out of its folder")
    endif()
  endforeach()
  list(APPEND _args --shortcut "bin/${_program}.exe=${_dir}\\${_label}")
endwhile()
foreach(_pair "--version;CPACK_PACKAGE_VERSION" "--publisher;CPACK_PACKAGE_VENDOR"
        "--url;CPACK_PACKAGE_HOMEPAGE_URL" "--licence;CPACK_RESOURCE_FILE_LICENSE")
  list(GET _pair 0 _option)
  list(GET _pair 1 _var)
  if(NOT "${${_var}}" STREQUAL "")
    list(APPEND _args ${_option} "${${_var}}")
  endif()
endforeach()

foreach(_reg IN LISTS CPACK_TARN_REGISTRY_FILE)
  list(APPEND _args --reg "${_reg}")
endforeach()
foreach(_reg IN LISTS CPACK_TARN_REGISTRY_LIST)
  list(APPEND _args --reg-list "${_reg}")
endforeach()
foreach(_shortcut IN LISTS CPACK_TARN_SHORTCUTS)
  list(APPEND _args --shortcut "${_shortcut}")
endforeach()
if(NOT "${CPACK_TARN_RUN}" STREQUAL "")
  # The program, then its arguments as one text.
  set(_run ${CPACK_TARN_RUN})
  list(POP_FRONT _run _program)
  list(JOIN _run " " _run_args)
  list(APPEND _args --run "${_program}")
  if(NOT _run_args STREQUAL "")
    list(APPEND _args "${_run_args}")
  endif()
endif()
if(CPACK_TARN_RUN_WAIT)
  list(APPEND _args --wait)
endif()

set(_work "${CPACK_TOPLEVEL_DIRECTORY}/tarn")
file(MAKE_DIRECTORY "${_work}")
set(_setup "${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-setup.exe")

execute_process(COMMAND "${CPACK_TARN_TARNMAKE}" script ${_roots} -o "${_work}/setup.ini"
                        --ui "${_work}/ui.ini" --product "${CPACK_PACKAGE_NAME}"
                        --install-dir "${_dir}" --program-folder "${_dir}" ${_args}
                RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "TarnSetup: tarnmake script failed (${_rc})")
endif()
execute_process(COMMAND "${CPACK_TARN_TARNMAKE}" build "${_work}/setup.ini" --ui "${_work}/ui.ini"
                        --shell "${CPACK_TARN_SHELL}" -o "${_setup}" ${CPACK_TARN_BUILD_OPTIONS}
                RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "TarnSetup: tarnmake build failed (${_rc})")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES "${_setup}")
