# Where `cmake --install` and the Debian packages (cmake/Packaging.cmake)
# put comvorlix, below the prefix:
#
#   bin/comvorlix                                the command-line host
#   <libdir>/comvorlix/libcomvorlix.so           the library: private to the
#   <libdir>/comvorlix/libcomvorlix_dialog_qt.so   host, the module beside it
#   lib/nagios/plugins/check_comvorlix           -> ../../../bin/comvorlix
#   share/man/man1/comvorlix.1.gz
#   share/icinga2/include/plugins-contrib.d/comvorlix.conf
#   share/doc/comvorlix/                         copyright, changelog, examples
#
# <libdir> is GNUInstallDirs' (lib/x86_64-linux-gnu for the prefix /usr on
# Debian). The library is not one for other programs to link: it stays out
# of the linker's search path. The command-line host has the library's
# code built in (COMVORLIX_STANDALONE_CLI) and finds the dialog module in
# <libdir>/comvorlix from its own folder; linked to the library instead, it
# finds it through an $ORIGIN-relative RUNPATH, wherever the tree is
# installed, and the build tree has the same RUNPATH (src/CMakeLists.txt
# mirrors <libdir>/comvorlix there).
include(GNUInstallDirs)

set(COMVORLIX_INSTALL_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/comvorlix)
# Where Debian's monitoring plugins live, and Icinga 2's PluginContribDir.
set(COMVORLIX_INSTALL_PLUGINDIR lib/nagios/plugins)
set(COMVORLIX_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/comvorlix)

file(RELATIVE_PATH _comvorlix_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${COMVORLIX_INSTALL_PRIVATE_LIBDIR})
set(COMVORLIX_BIN_TO_PRIVATE_LIBDIR ${_comvorlix_bin_to_lib})
set(COMVORLIX_INSTALL_RPATH "$ORIGIN/${_comvorlix_bin_to_lib}")
