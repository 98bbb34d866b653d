# What the .deb installs, and how CPack's DEB generator makes it
# (scripts/package runs it on a Release build).
set(szPackaging ${PROJECT_SOURCE_DIR}/packaging)
set(szDebian ${szPackaging}/debian)
set(szDoc share/doc/veltrona-ios)

install(TARGETS veltrona RUNTIME DESTINATION bin)
install(FILES ${szDebian}/60-veltrona.rules DESTINATION /lib/udev/rules.d)
install(FILES ${szDebian}/veltrona.desktop DESTINATION share/applications)
install(FILES ${szDebian}/veltrona.metainfo.xml DESTINATION share/metainfo)
install(FILES ${szPackaging}/icons/veltrona.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${szDebian}/copyright DESTINATION ${szDoc})

# Made at build time: the icon's PNGs and the gzipped man page and changelog
# (gzip -n: no name or time stamp, the same bytes from every build).
set(szMade ${PROJECT_BINARY_DIR}/packaging)
set(vecMade ${szMade}/veltrona.1.gz ${szMade}/changelog.gz)
foreach(nSize 48 128 256)
  list(APPEND vecMade ${szMade}/icons/${nSize}.png)
  install(FILES ${szMade}/icons/${nSize}.png DESTINATION share/icons/hicolor/${nSize}x${nSize}/apps
    RENAME veltrona.png)
endforeach()
add_custom_command(OUTPUT ${vecMade}
  COMMAND ${szPackaging}/icons/render ${szMade}/icons 48 128 256
  COMMAND gzip -9n -c ${szPackaging}/veltrona.1 > ${szMade}/veltrona.1.gz
  COMMAND gzip -9n -c ${szDebian}/changelog > ${szMade}/changelog.gz
  DEPENDS ${szPackaging}/icons/veltrona.svg ${szPackaging}/veltrona.1 ${szDebian}/changelog
  VERBATIM)
add_custom_target(veltrona_package_files DEPENDS ${vecMade})
install(FILES ${szMade}/veltrona.1.gz DESTINATION share/man/man1)
install(FILES ${szMade}/changelog.gz DESTINATION ${szDoc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltrona-ios)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Veltrona developers <veltrona@veltrona.invalid>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's texts are drawn with DejaVu Sans, found at run time.
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-dejavu-core)
# ideviceinfo names the device in the log.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libimobiledevice-utils)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${szDebian}/postinst ${szDebian}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "shows the screen of an iPhone or iPad connected by USB")
# CPack puts the summary above it as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Veltrona iOS shows the live screen of an iPhone or iPad, connected by USB,
in a window of its own, with the device's sound. It switches the device
into its screen-capture USB configuration, decodes the H.264 video with
FFmpeg and paints the latest picture scaled to fit. It takes screenshots
and records to Matroska or MP4 without re-encoding, and reconnects on its
own when the device comes back.
.
A udev rule gives the user at the seat access to the device; the
application menu's entry mirrors whichever device is plugged in.")
include(CPack)
