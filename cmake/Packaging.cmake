# Installation and the Debian package. The program folder (program, companion tool, engine and
# decoder libraries, language files, help) is installed as one folder; a launcher in bin/
# starts the program from it, and bin/tavrin-cli links to the companion tool.
include(GNUInstallDirs)
set(TAVRIN_INSTALL_DIR lib/tavrin CACHE STRING "Program folder, relative to the prefix")
file(RELATIVE_PATH TAVRIN_LAUNCHER_TO_PROGRAM /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${TAVRIN_INSTALL_DIR})

install(TARGETS tavrin tavrin-cli RUNTIME DESTINATION ${TAVRIN_INSTALL_DIR})
install(TARGETS zip32 unzip32 mpegdll LIBRARY DESTINATION ${TAVRIN_INSTALL_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/lang/ DESTINATION ${TAVRIN_INSTALL_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/help DESTINATION ${TAVRIN_INSTALL_DIR})

configure_file(${CMAKE_SOURCE_DIR}/data/desktop/tavrin-launcher.sh ${CMAKE_BINARY_DIR}/launcher/tavrin @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/launcher/tavrin DESTINATION ${CMAKE_INSTALL_BINDIR})
install(CODE "
  file(CREATE_LINK ${TAVRIN_LAUNCHER_TO_PROGRAM}/tavrin-cli
       \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tavrin-cli SYMBOLIC)
  message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tavrin-cli -> ${TAVRIN_LAUNCHER_TO_PROGRAM}/tavrin-cli\")")

install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/tavrin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/tavrin.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Manual pages are installed compressed, as Debian keeps them.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/tavrin-cli.1.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/data/desktop/tavrin-cli.1 > ${CMAKE_BINARY_DIR}/man/tavrin-cli.1.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/data/desktop/tavrin-cli.1)
add_custom_target(tavrin_man ALL DEPENDS ${CMAKE_BINARY_DIR}/man/tavrin-cli.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/man/tavrin-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tavrin developers <dev@tavrin.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "zip archive descriptions, packer, MP3 tag editor and file manager")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tavrin shows and edits the description file a zip archive carries (file_id.diz,
readme.txt, the archive's name with .txt, or names you choose) and writes it back
into the archive; packs files into zip archives, lists and extracts them; shows
and edits the ID3v1 and ID3v2 tags of MP3 files with the data of their MPEG audio
header and plays them; offers a two-pane file manager with a preview window. Its
captions come from a language file of your choice. tavrin-cli does the same work
from scripts.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time rather than linked, so the library scan cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libzip4, libout123-0, mpg123")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-unifont | fonts-dejavu-core")
include(CPack)
