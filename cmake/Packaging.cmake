# Installation and the Debian package (cpack -G DEB, or scripts/package.sh).
# Everything the programs read at run time lies in share/tav-analyser, found
# from the executable as <bin>/../share/tav-analyser (app/app_environment.hpp),
# so an installed tree works wherever it is unpacked and the build folder
# keeps working from the source tree's data/.
include(GNUInstallDirs)

set(TAV_INSTALL_DATA ${CMAKE_INSTALL_DATADIR}/tav-analyser)

install(TARGETS tavtool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tav_analyser)
  install(TARGETS tav_analyser RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The report library, where the program looks for it beside itself
# (<bin>/../lib/tav-analyser/), and the report template it fills.
if(TARGET tav_report)
  install(TARGETS tav_report LIBRARY DESTINATION lib/tav-analyser)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/data/Report.docx)
  install(FILES ${CMAKE_SOURCE_DIR}/data/Report.docx DESTINATION ${TAV_INSTALL_DATA})
endif()

# Read-only data: the demo project and the manual.
install(FILES ${CMAKE_BINARY_DIR}/data/demo.tav DESTINATION ${TAV_INSTALL_DATA})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/manual DESTINATION ${TAV_INSTALL_DATA})

# Desktop integration: menu entry, the *.tav type and the icons of both.
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/tav_analyser.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/tav-analyser.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(DIRECTORY ${CMAKE_BINARY_DIR}/data/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# tavtool's manual page (from its own help) and bash completion.
install(FILES ${CMAKE_BINARY_DIR}/data/tavtool.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/data/completion/tavtool DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tav-analyser)
set(CPACK_PACKAGE_VENDOR "TAV Analyser")
set(CPACK_PACKAGE_CONTACT "TAV Analyser maintainers <maintainers@tav-analyser.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pile integrity testing workstation (low-strain reflected wave)")
set(CPACK_PACKAGE_DESCRIPTION
    "Opens project files of low-strain reflected-wave pile tests, processes each waveform
through an editable chain of signal operations, marks pile head, toe and defects,
analyses spectra, wavelets and correlations, and produces printed pages, pictures,
a spreadsheet and a report. Includes tavtool for batch work without a display.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# Library dependencies are computed from the binaries by dpkg-shlibdeps; the
# fonts are data the window draws with, which no tool can find.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei, fonts-arphic-uming")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
include(CPack)
