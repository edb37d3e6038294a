# Cross build for 32-bit Windows with MinGW-w64; with -static the programs
# need no DLL. The posix thread model gives the tests std::thread; the
# shipped programs take the win32 one (TARN_MINGW_THREADS=win32), whose
# runtime uses Windows' own locks instead of a POSIX thread library. The
# system's code needs neither: its threads are platform/sync.h.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
if(NOT TARN_MINGW_THREADS)
  set(TARN_MINGW_THREADS posix)
endif()
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${TARN_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${TARN_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# ctest runs the Windows programs under Wine, in a prefix of the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
