# The Debian package that the package target (`make package`) builds with
# CPack from the install rules.
set(GLOBE_MAINTAINER "The Globe developers <globe@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")
set(GLOBE_DEB_RELEASE 1 CACHE STRING "Debian revision of the package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME globe)
set(CPACK_PACKAGE_VENDOR "The Globe developers")
set(CPACK_PACKAGE_CONTACT "${GLOBE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interactive editor for the relief of a globe")
set(CPACK_PACKAGE_DESCRIPTION
    "Globe shows a sphere made of triangles in one OpenGL window. Every vertex
carries an elevation level from 0 (sea) to 9 (mountain tops) that sets its
height and colour. Turn and zoom the globe, select a vertex, raise or lower
it, and save, restore or reset the levels.

The package also holds globe-world, which generates, checks and describes
world folders, and globe-launch, which starts the editor from the desktop
menu in a world of its own, made on first use.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${GLOBE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${GLOBE_DEB_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# dpkg-shlibdeps finds the Qt, GL and C++ runtime packages the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The build keeps its debug information for development; the package does not.
set(CPACK_STRIP_FILES ON)
set(CPACK_GLOBE_STRIP "${CMAKE_STRIP}")
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debstrip.cmake)
# Everything a plain install holds, and the Debian-only files besides.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};globe;ALL;/"
                                 "${CMAKE_BINARY_DIR};globe;debian;/")
include(CPack)
