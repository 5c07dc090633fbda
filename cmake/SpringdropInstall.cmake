# Install layout: the two programs in bin/, Facet's headers in include/facet/ and the
# platform interface headers its calls take in include/springdrop/, libfacet.a and libfacet.so in lib/, the CMake
# package Facet and facet.pc for consumers, man pages, and the demo's desktop entry and icon.
include(CMakePackageConfigHelpers)

set(FACET_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Facet)

install(TARGETS springdrop facet_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(TARGETS facet_shared EXPORT FacetTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Unspecified)
# The static library needs the device and the window-free system part as archives beside it.
set_target_properties(facet PROPERTIES EXPORT_NAME facet_static)
install(TARGETS facet springdrop_device springdrop_system EXPORT FacetStaticTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/facet
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
# Only the interfaces a caller hands to Facet; the rest of the platform layer stays private.
# They keep the namespaced paths they have in the tree (springdrop/<folder>/<header>).
install(FILES ${PROJECT_SOURCE_DIR}/src/platform/system/types.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/springdrop/system)
install(FILES ${PROJECT_SOURCE_DIR}/src/platform/d3d9/d3d9.h
              ${PROJECT_SOURCE_DIR}/src/platform/d3d9/headless_device.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/springdrop/d3d9)

install(EXPORT FacetTargets NAMESPACE Facet:: DESTINATION ${FACET_INSTALL_CMAKEDIR})
install(EXPORT FacetStaticTargets NAMESPACE Facet:: DESTINATION ${FACET_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/FacetConfig.cmake.in
  ${PROJECT_BINARY_DIR}/FacetConfig.cmake INSTALL_DESTINATION ${FACET_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/FacetConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/FacetConfig.cmake ${PROJECT_BINARY_DIR}/FacetConfigVersion.cmake
  DESTINATION ${FACET_INSTALL_CMAKEDIR})

# facet.pc finds its prefix from its own location, so an installed tree can be moved.
set(FACET_PC_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH FACET_PC_PREFIX_FROM_PCFILEDIR /${FACET_PC_INSTALL_DIR} /)
configure_file(${CMAKE_CURRENT_LIST_DIR}/facet.pc.in ${PROJECT_BINARY_DIR}/facet.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/facet.pc DESTINATION ${FACET_PC_INSTALL_DIR})

install(FILES ${PROJECT_SOURCE_DIR}/packaging/springdrop.1 ${PROJECT_SOURCE_DIR}/packaging/facet.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/springdrop.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/springdrop.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
