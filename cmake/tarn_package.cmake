# cpack -G DEB or -G TGZ in a build folder: a package of Tarn itself, what
# cmake --install lays out (tarnmake, the shipped shell when it was built,
# the TarnSetup CMake package).
set(CPACK_PACKAGE_NAME tarn-setup)
set(CPACK_PACKAGE_VENDOR "Tarn Setup")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tarnmake, the Tarn setup shell and its CMake package")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Builds installers for 32-bit Windows on Linux: tarnmake writes setup scripts and "
       "packages and appends them to the Tarn setup shell; find_package(TarnSetup) gives a "
       "CMake project cpack -G External installers.")
set(CPACK_PACKAGE_CONTACT "Tarn Setup <tarn@tarn.example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tarn.example.org")
set(CPACK_GENERATOR "TGZ")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}")
# The archive unpacks into a folder of its own.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)

if(NOT WIN32)
  list(APPEND CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  # tarnmake's libraries, as the machine that built it names them; without
  # the tool that finds them, the libraries it links by name.
  find_program(TARN_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(TARN_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1, zlib1g, libdeflate0")
  endif()
  # Only for cpack-made installers; tarnmake runs without it.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cmake (>= 3.19)")
endif()
include(CPack)
