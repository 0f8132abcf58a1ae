# Manual pages, the package's documents and the Debian package. The programs and
# the editor stand-in are installed where they are built.
include(GNUInstallDirs)

# Where the package says its maintainers are reached: the project's own address.
set(CALOR2D_MANTENEDOR "calor2d maintainers <calor2d@example.org>" CACHE STRING
    "Maintainer of the Debian package, 'name <address>'")

# Manual pages and the changelog are installed compressed, as Debian has them;
# man and zless read them so everywhere.
function(calor2d_gzip_n entrada saida)
  add_custom_command(OUTPUT ${saida}
                     COMMAND ${CMAKE_COMMAND} -DENTRADA=${entrada} -DSAIDA=${saida}
                             -P ${PROJECT_SOURCE_DIR}/cmake/gzip_n.cmake
                     DEPENDS ${entrada} ${PROJECT_SOURCE_DIR}/cmake/gzip_n.cmake VERBATIM)
endfunction()

if(NOT WIN32)
  set(calor2d_manuais calor2d.1)
  if(CALOR2D_GRAFICOS)
    list(APPEND calor2d_manuais calor2d-graficos.1)
  endif()
  set(calor2d_comprimidos)
  foreach(m IN LISTS calor2d_manuais)
    calor2d_gzip_n(${PROJECT_SOURCE_DIR}/docs/man/${m} ${CMAKE_BINARY_DIR}/man/${m}.gz)
    list(APPEND calor2d_comprimidos ${CMAKE_BINARY_DIR}/man/${m}.gz)
    install(FILES ${CMAKE_BINARY_DIR}/man/${m}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  calor2d_gzip_n(${PROJECT_SOURCE_DIR}/cmake/debian/changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
  add_custom_target(calor2d_documentos ALL DEPENDS ${calor2d_comprimidos} ${CMAKE_BINARY_DIR}/doc/changelog.gz)
  install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/examples/entrada_geral.ent DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME calor2d)
set(CPACK_PACKAGE_VENDOR calor2d)
set(CPACK_PACKAGE_CONTACT "${CALOR2D_MANTENEDOR}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "steady 2-D heat conduction on a flat plate, with an exact-solution report")
set(calor2d_descricao
    "calor2d solves the Laplace equation on a rectangular plate whose top edge is
held at sin(pi x/Lx) and whose other edges are held at zero, by five-point
finite differences and point Gauss-Seidel, and compares the result with the
exact solution. It reads the case from entrada_geral.ent and writes a
Portuguese text report: the parameters, the convergence history of three
residual norms, the numerical and exact temperatures and their difference,
the mean temperatures and the processing time, every number with 16
reproducible significant digits.")
if(CALOR2D_GRAFICOS)
  string(APPEND calor2d_descricao "
.
calor2d-graficos turns a report into figures (convergence history, heat maps
with isotherms, profiles), CSV, JSON and VTK files, and several reports of one
plate into a mesh-refinement study with the observed order of accuracy.")
endif()
set(CPACK_PACKAGE_DESCRIPTION "${calor2d_descricao}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
if(CALOR2D_GRAFICOS)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libcairo2 (>= 1.16)")
endif()
include(CPack)
