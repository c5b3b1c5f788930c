# What `cmake --install` puts where, and the Debian package CPack makes of it
# (scripts/package.sh): the three programs with their manual pages, the desktop entry with
# its icon, the README, the Prometheus examples.

include(GNUInstallDirs)
# Installing (and so packaging) takes the programs as built; it builds nothing else first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/velk-monitor)
foreach(program velk-monitor velk-probe velk-boxsim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(FILES ${packaging}/velk-monitor.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/velk-monitor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${packaging}/copyright DESTINATION ${doc_dir})
# The Prometheus alert rules and the example scrape configuration, as a lab copies them.
install(DIRECTORY ${packaging}/prometheus DESTINATION ${doc_dir}/examples)

# Debian wants the change log and the manual pages compressed, reproducibly (no name or time
# in the gzip header).
set(compressed "")
foreach(source changelog man/velk-monitor.1 man/velk-probe.1 man/velk-boxsim.1)
  get_filename_component(name ${source} NAME)
  set(target ${PROJECT_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(OUTPUT ${target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
    COMMAND gzip -9nc ${packaging}/${source} > ${target}
    DEPENDS ${packaging}/${source})
  list(APPEND compressed ${target})
endforeach()
add_custom_target(velk_packaging_files ALL DEPENDS ${compressed})
list(POP_FRONT compressed changelog)
install(FILES ${changelog} DESTINATION ${doc_dir})
install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velk-monitor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION}.0)
set(CPACK_PACKAGE_CONTACT "Velk Monitor developers <velk-monitor@lab.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor for a laboratory cryogenic cold source")
# The extended description under the summary line; CPack indents it and marks the empty line.
set(CPACK_PACKAGE_DESCRIPTION
    "Velk Monitor reads two temperature controllers and an analog input module
behind an Ethernet interface box, shows the readings with trend graphs, and
raises and mails alarms on the temperatures and the vacuum.

Also in the package: velk-probe, which performs one acquisition from the
command line, and velk-boxsim, a simulator of the interface box and its
instruments.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libcap2-bin)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
