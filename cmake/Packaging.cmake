# Desktop integration files and the Debian package (cpack -G DEB in the build directory).
include(GNUInstallDirs)

set(kel_packaging ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${kel_packaging}/keltester.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${kel_packaging}/keltester.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Debian ships man pages, changelogs and long documents gzipped; build-time rules keep each
# compressed copy in step with its source.
set(kel_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/keltester)
set(kel_gzipped)
function(kel_install_gzipped source name destination)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
    COMMAND gzip -9 -n -c ${source} > ${out}
    DEPENDS ${source}
    VERBATIM)
  set(kel_gzipped ${kel_gzipped} ${out} PARENT_SCOPE)
  install(FILES ${out} DESTINATION ${destination})
endfunction()
kel_install_gzipped(${kel_packaging}/kelpeer.1 kelpeer.1 ${CMAKE_INSTALL_MANDIR}/man1)
kel_install_gzipped(${kel_packaging}/KELTester.1 KELTester.1 ${CMAKE_INSTALL_MANDIR}/man1)
kel_install_gzipped(${kel_packaging}/changelog changelog ${kel_doc_dir})
kel_install_gzipped(${PROJECT_SOURCE_DIR}/README.md README.md ${kel_doc_dir})
add_custom_target(kel_packaging_docs ALL DEPENDS ${kel_gzipped})
install(FILES ${kel_packaging}/copyright DESTINATION ${kel_doc_dir})
install(FILES ${PROJECT_SOURCE_DIR}/tools/kelpeer/examples/rules.toml
              ${PROJECT_SOURCE_DIR}/tools/kelpeer/examples/plan.toml
              ${PROJECT_SOURCE_DIR}/tools/kelpeer/examples/conformance.toml
              ${PROJECT_SOURCE_DIR}/profile/examples/profile.toml
        DESTINATION ${kel_doc_dir}/examples)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/tour DESTINATION ${kel_doc_dir}/docs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME keltester)
set(CPACK_PACKAGE_VENDOR "KEL Tester developers")
set(CPACK_PACKAGE_CONTACT "KEL Tester developers <keltester@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interactive tester for KEL controller connections")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME keltester)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "KEL Tester sends KEL commands (START, STOP, PUT, GET) to a peer device over a\n"
  "serial line or TCP, as client or as server, and shows the typed results. It\n"
  "can answer the peer's requests automatically, run timed read/write performance\n"
  "checks, and logs every step with its time of day.\n"
  "\n"
  "The package also holds kelpeer, a command-line simulated peer for trying the\n"
  "tester without a device.")

# Library dependencies come from dpkg-shlibdeps; the platform plugins Qt loads by name at run time
# (eglfs, linuxfb, vnc and the rest beside xcb and offscreen) and the SVG plugin that draws the
# window icon are not linked, so they are listed.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
