# The simulated device as libusb-win32's libusb0.dll, for the Windows build: put
# beside the unmodified program, it stands in for the real library. Its exports
# are exactly the names of the program's own import library (the same .def),
# and it is configured from the VELTRONA_SIM_* variables, as when preloaded.
if(NOT WIN32)
  return()
endif()

add_library(veltrona_sim_libusb0 SHARED ${VELTRONA_SIM_SOURCES}
  ${PROJECT_SOURCE_DIR}/src/platform/clock.cpp
  ${PROJECT_SOURCE_DIR}/src/usb/libusb0.def)
set_target_properties(veltrona_sim_libusb0 PROPERTIES
  PREFIX ""
  OUTPUT_NAME libusb0
  # Its import library is not used; keep it away from the program's.
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sim)
target_compile_definitions(veltrona_sim_libusb0 PRIVATE VSIM_PRELOAD)
target_include_directories(veltrona_sim_libusb0 PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(veltrona_sim_libusb0 PRIVATE veltrona_warnings Threads::Threads)
