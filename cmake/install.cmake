# What `cmake --install` (and `make install`) puts where, below the prefix:
#   bin/kerf
#   share/man/man1/kerf.1
#   share/doc/kerf/        README.md, ARCHITECTURE.md, docs/*.schema.json
#   share/doc/kerf/docs/   html-report.png, the picture README.md shows
#   share/bash-completion/completions/kerf
# Only the program and its documents: tests, tools and the libraries of the
# layers stay in the build tree.
include(GNUInstallDirs)

install(TARGETS kerf RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/kerf.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/completion/kerf.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME kerf)

# The JSON schemas of the output layouts, whichever exist.
file(GLOB kerf_schemas CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.schema.json)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/ARCHITECTURE.md ${kerf_schemas}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Where README.md's link to it leads.
install(FILES ${PROJECT_SOURCE_DIR}/docs/html-report.png DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
