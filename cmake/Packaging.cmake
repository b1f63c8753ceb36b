# Debian packages, by `cpack -G DEB` in a build tree configured for the
# prefix /usr (scripts/package.sh):
#
#   comvorlix      the command-line host (check, configure --no-gui, crc,
#                  secret), check_comvorlix, the library, the man page, the
#                  Icinga 2 command and the examples; nothing of Qt; its
#                  postinst makes /etc/comvorlix and /var/lib/comvorlix
#   comvorlix-gui  the configuration dialog's Qt module, beside the library
#                  of the same version
#
# Each package's Depends are read from its binaries (dpkg-shlibdeps), so
# only the dialog's package needs Qt.
set(COMVORLIX_MAINTAINER "comvorlix developers <packages@comvorlix.example>"
    CACHE STRING "The Maintainer of the Debian packages: Name <address>")
set(COMVORLIX_DEBIAN_RELEASE 1 CACHE STRING "The Debian revision of the packages")

set(CPACK_PACKAGE_NAME comvorlix)
set(CPACK_PACKAGE_VENDOR "comvorlix developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${COMVORLIX_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL comvorlix gui)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${COMVORLIX_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${COMVORLIX_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps finds the library the host links in the package's own tree.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

set(CPACK_DEBIAN_COMVORLIX_PACKAGE_NAME comvorlix)
set(CPACK_DEBIAN_COMVORLIX_DESCRIPTION "network device configuration checker
comvorlix logs in to a switch over SSH, has it list its running or startup
configuration and compares the CRC-32 of the listing with the checksum
remembered in the switch's parameter file, or compares the running with the
startup configuration. Cisco, Aruba/ProCurve, HP 1920 and HP 2530 switches.
.
The check is a monitoring plugin for Nagios, Naemon, Icinga and others
(/usr/lib/nagios/plugins/check_comvorlix); an Icinga 2 CheckCommand is
included. Parameter files are written with 'comvorlix configure --no-gui',
or with the configuration dialog of the package comvorlix-gui.")

# /etc/comvorlix (root) and /var/lib/comvorlix (nagios) are made by the
# maintainer scripts: the owner of the state folder is a user that only
# the monitoring engines' packages create.
set(CPACK_DEBIAN_COMVORLIX_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/debian/postinst ${CMAKE_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_GUI_PACKAGE_NAME comvorlix-gui)
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS
    "comvorlix (= ${PROJECT_VERSION}-${COMVORLIX_DEBIAN_RELEASE})")
set(CPACK_DEBIAN_GUI_DESCRIPTION "network device configuration checker - configuration dialog
The Qt window of 'comvorlix configure': the parameter file of a switch is
edited in a form. Without this package comvorlix configure works with
--no-gui only.")

include(CPack)
