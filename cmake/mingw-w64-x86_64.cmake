# Cross-build for 64-bit Windows with Debian's MinGW-w64. The posix thread
# model is the one whose libstdc++ has std::thread and std::mutex; the runtime
# is linked in statically so that the .exe needs no MinGW DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELTRONA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELTRONA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELTRONA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELTRONA_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${VELTRONA_MINGW_PREFIX}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${VELTRONA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# winpthreads too, so nothing is left to find at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
