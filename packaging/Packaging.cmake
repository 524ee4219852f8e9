# `cpack -G DEB` in the build folder makes glowdeck_<version>_<arch>.deb from the install rules.
set(CPACK_PACKAGE_NAME glowdeck)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Glowdeck developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control panel for the Glowdeck game table")
set(GLOWDECK_PACKAGE_MAINTAINER "Glowdeck developers <glowdeck@localhost>"
    CACHE STRING "Maintainer field of the .deb")
set(CPACK_PACKAGE_CONTACT "${GLOWDECK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# CPack puts the summary first and indents these lines for the control file.
set(CPACK_PACKAGE_DESCRIPTION
    "Drives a Glowdeck, a game table with addressable lighting, over its Bluetooth
serial port: lighting and game modes, team colours, the hardware test
routines, the table's settings and EEPROM. Includes glowdeck-sim, a simulated
table on a pseudo-terminal for trying the panel without the hardware, and
glowdeck-ctl, which drives a running panel from scripts.")
find_program(GLOWDECK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(GLOWDECK_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  # Without dpkg-dev the libraries the programs link are named by hand.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6widgets6 (>= 6.4), libqt6serialport6 (>= 6.4), libqt6network6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), libstdc++6, libc6"
  )
endif()

include(CPack)
