# Debian package of everything `cmake --install` lays out, installed under /usr.
# Runtime library dependencies are read from the binaries with dpkg-shlibdeps; the Hangul
# font is a data dependency no binary shows, so it is named.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME springdrop)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Springdrop team")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "falling spring tetrahedron demo and the Facet geometry library")
set(CPACK_PACKAGE_DESCRIPTION "A mass-spring tetrahedron falls, bounces and settles in a window drawn \
by a deterministic software renderer; with --headless it runs without a display and can write \
the last frame as PNG. Includes Facet, a math and geometry library (sphere meshes, vertex \
normals, adjacency) with its headers, a CMake package, a pkg-config file and the facet \
Python module.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Springdrop team <springdrop@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-nanum")
# The Python module (when built) imports only into the interpreter version it was built
# for, and needs numpy; the programs and the library need neither, so they are recommended.
if(FACET_PYTHON_VERSION)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "python3 (>= ${FACET_PYTHON_VERSION}~), python3 (<< ${FACET_PYTHON_NEXT_VERSION}), python3-numpy")
endif()
# Declares libfacet.so.0 to dpkg and runs ldconfig on install and removal.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
include(CPack)
