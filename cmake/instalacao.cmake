# Manual pages and the Debian package. The programs and the editor stand-in are
# installed where they are built.
include(GNUInstallDirs)

if(NOT WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/man/calor2d.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  if(CALOR2D_GRAFICOS)
    install(FILES ${PROJECT_SOURCE_DIR}/docs/man/calor2d-graficos.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endif()
install(FILES ${PROJECT_SOURCE_DIR}/examples/entrada_geral.ent DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME calor2d)
set(CPACK_PACKAGE_VENDOR calor2d)
set(CPACK_PACKAGE_CONTACT "calor2d <calor2d@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "2-D steady heat conduction on a flat plate: finite differences, Gauss-Seidel, text report")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
if(CALOR2D_GRAFICOS)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libcairo2 (>= 1.16)")
endif()
include(CPack)
