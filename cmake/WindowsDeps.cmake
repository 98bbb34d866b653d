# The Windows build's libraries, under the names the portable CMake files use
# on Linux: FFmpeg as PkgConfig::FFMPEG (from the folder scripts/windows-ffmpeg
# prints) and libusb-win32 as PkgConfig::LIBUSB (an import library made from
# the project's own .def). SDL2 is not used on Windows.

set(VELTRONA_FFMPEG_WIN64 "" CACHE PATH
    "Minimal Windows FFmpeg (include/, lib/, bin/), as printed by scripts/windows-ffmpeg")
if(NOT EXISTS "${VELTRONA_FFMPEG_WIN64}/include/libavcodec/avcodec.h")
  message(FATAL_ERROR "No Windows FFmpeg in '${VELTRONA_FFMPEG_WIN64}': "
    "run scripts/build-windows, or pass -DVELTRONA_FFMPEG_WIN64=$(scripts/windows-ffmpeg)")
endif()

add_library(PkgConfig::FFMPEG INTERFACE IMPORTED)
set_target_properties(PkgConfig::FFMPEG PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${VELTRONA_FFMPEG_WIN64}/include"
  INTERFACE_LINK_LIBRARIES
    "${VELTRONA_FFMPEG_WIN64}/lib/libavformat.dll.a;${VELTRONA_FFMPEG_WIN64}/lib/libavcodec.dll.a;${VELTRONA_FFMPEG_WIN64}/lib/libswscale.dll.a;${VELTRONA_FFMPEG_WIN64}/lib/libavutil.dll.a")

# The program loads avformat, avcodec, avutil and swscale from its own folder.
file(GLOB VELTRONA_FFMPEG_DLLS "${VELTRONA_FFMPEG_WIN64}/bin/*.dll")
file(COPY ${VELTRONA_FFMPEG_DLLS} DESTINATION ${CMAKE_BINARY_DIR})

# Made at configure time; editing the .def configures again. A delay-import
# library: libusb0.dll is loaded at the first USB call, not before main, so
# that the program can first check it is there and 64-bit and say so in its
# own words (src/app/win32/usb_library.cpp); the helper is MinGW's delayimp.
set(VELTRONA_LIBUSB0_DEF ${PROJECT_SOURCE_DIR}/src/usb/libusb0.def)
# Its own folder: the simulated libusb0.dll built beside the program has an
# import library of the same name.
set(VELTRONA_LIBUSB0_IMPLIB ${CMAKE_BINARY_DIR}/implib/libusb0.dll.a)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/implib)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VELTRONA_LIBUSB0_DEF})
execute_process(
  COMMAND ${CMAKE_DLLTOOL} --input-def ${VELTRONA_LIBUSB0_DEF} --dllname libusb0.dll
          --output-delaylib ${VELTRONA_LIBUSB0_IMPLIB}
  RESULT_VARIABLE nDlltoolResult)
if(NOT nDlltoolResult EQUAL 0)
  message(FATAL_ERROR "dlltool could not make ${VELTRONA_LIBUSB0_IMPLIB}")
endif()

add_library(PkgConfig::LIBUSB SHARED IMPORTED)
set_target_properties(PkgConfig::LIBUSB PROPERTIES
  IMPORTED_IMPLIB ${VELTRONA_LIBUSB0_IMPLIB}
  IMPORTED_LOCATION ${CMAKE_BINARY_DIR}/libusb0.dll
  INTERFACE_LINK_LIBRARIES delayimp)
