# What is installed besides the targets (cmake/InstallLayout.cmake has the
# layout; the targets install themselves in src/).

# check_comvorlix: the name monitoring engines call the check by, a
# relative link to the host (which runs as `comvorlix check` when called by
# that name; $ORIGIN follows the link to bin/, so the library is found).
file(RELATIVE_PATH _comvorlix_plugin_to_bin ${CMAKE_INSTALL_PREFIX}/${COMVORLIX_INSTALL_PLUGINDIR}
     ${CMAKE_INSTALL_FULL_BINDIR}/comvorlix)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
file(CREATE_LINK ${_comvorlix_plugin_to_bin} ${CMAKE_BINARY_DIR}/packaging/check_comvorlix SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/packaging/check_comvorlix DESTINATION ${COMVORLIX_INSTALL_PLUGINDIR}
        COMPONENT comvorlix)

# Compressed as Debian wants them: gzip -9n (no name, no time stamp), so
# that the same sources give the same bytes.
find_program(COMVORLIX_GZIP gzip REQUIRED)
function(comvorlix_gzip source output)
  add_custom_command(OUTPUT ${output} COMMAND ${COMVORLIX_GZIP} -9nc ${source} > ${output}
                     DEPENDS ${source} VERBATIM)
endfunction()

# The changelog of the packages, dated by SOURCE_DATE_EPOCH when it is set.
string(TIMESTAMP COMVORLIX_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.Debian.in ${CMAKE_BINARY_DIR}/packaging/changelog.Debian @ONLY)

comvorlix_gzip(${CMAKE_SOURCE_DIR}/docs/comvorlix.1 ${CMAKE_BINARY_DIR}/packaging/comvorlix.1.gz)
comvorlix_gzip(${CMAKE_SOURCE_DIR}/docs/comvorlix-kinds.5 ${CMAKE_BINARY_DIR}/packaging/comvorlix-kinds.5.gz)
comvorlix_gzip(${CMAKE_BINARY_DIR}/packaging/changelog.Debian ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_target(comvorlix_compressed_docs ALL
                  DEPENDS ${CMAKE_BINARY_DIR}/packaging/comvorlix.1.gz ${CMAKE_BINARY_DIR}/packaging/comvorlix-kinds.5.gz
                          ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)

install(FILES ${CMAKE_BINARY_DIR}/packaging/comvorlix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT comvorlix)
install(FILES ${CMAKE_BINARY_DIR}/packaging/comvorlix-kinds.5.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man5
        COMPONENT comvorlix)
# The shipped kind files, built into the program too: to read and to copy
# into /etc/comvorlix/kinds.
get_property(_comvorlix_kind_files GLOBAL PROPERTY COMVORLIX_KIND_FILES)
install(FILES ${_comvorlix_kind_files} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/comvorlix/kinds COMPONENT comvorlix)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/icinga2/comvorlix.conf
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icinga2/include/plugins-contrib.d COMPONENT comvorlix)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/examples/nagios.cfg ${CMAKE_SOURCE_DIR}/packaging/examples/icinga2.conf
        DESTINATION ${COMVORLIX_INSTALL_DOCDIR}/examples COMPONENT comvorlix)

# Each package has its own copyright file and changelog.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
        DESTINATION ${COMVORLIX_INSTALL_DOCDIR} COMPONENT comvorlix)
if(TARGET comvorlix_dialog_qt)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/comvorlix-gui COMPONENT gui)
endif()
