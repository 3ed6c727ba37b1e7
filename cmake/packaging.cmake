# SPDX-License-Identifier: MIT
# Debian packages, one per install component:
#   orv3-tools   the tools, the simulator, their manual pages, the udev rule
#   libqxap1     the shared library
#   libqxap-dev  header, CMake package, pkg-config file, qxap(3)
set(ORV3_DEB_tools orv3-tools)
set(ORV3_DEB_runtime libqxap${PROJECT_VERSION_MAJOR})
set(ORV3_DEB_development libqxap-dev)

# Each package carries the license as its copyright file.
foreach(component tools runtime development)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE RENAME copyright
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${ORV3_DEB_${component}} COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME orv3tools)
set(CPACK_PACKAGE_VENDOR "The watch tools developers")
set(CPACK_PACKAGE_CONTACT "The watch tools developers <watch-tools@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Measure and set the clock of a radio wrist watch")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tools runtime development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${ORV3_DEB_tools})
set(CPACK_DEBIAN_TOOLS_DESCRIPTION
  "Measure and set the clock of a radio wrist watch\n Console tools that read and set a radio wrist watch's clock, time zone,\n DST rules and temperature compensation through its USB access point,\n and a simulated access point to try them without one.")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${ORV3_DEB_runtime})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
  "Radio wrist watch access point library\n The command set of the KQ RX2210 radio access point as 21 functions.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${ORV3_DEB_development})
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${ORV3_DEB_runtime} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
  "Radio wrist watch access point library (development files)\n Header, CMake package, pkg-config file and manual page of libqxap.")

include(CPack)
