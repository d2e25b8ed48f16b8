# What `make install` and the Debian package carry beside the binaries, and
# how CPack turns an installed tree into kestrova-capture_<version>_<arch>.deb.
# The version is the project's; the man page and the changelog must say so.

file(STRINGS ${PROJECT_SOURCE_DIR}/man/kestrova-capture.1 KESTROVA_MAN_TITLE REGEX "^\\.TH ")
string(FIND "${KESTROVA_MAN_TITLE}" "\"kestrova-capture ${PROJECT_VERSION}\"" KESTROVA_MAN_HAS_VERSION)
if(KESTROVA_MAN_HAS_VERSION EQUAL -1)
  message(FATAL_ERROR "man/kestrova-capture.1 has '${KESTROVA_MAN_TITLE}': "
                      "its .TH line must name \"kestrova-capture ${PROJECT_VERSION}\", the project's version")
endif()
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog KESTROVA_CHANGELOG_TOP LIMIT_COUNT 1)
string(FIND "${KESTROVA_CHANGELOG_TOP}" "kestrova-capture (${PROJECT_VERSION}) " KESTROVA_CHANGELOG_HAS_VERSION)
if(NOT KESTROVA_CHANGELOG_HAS_VERSION EQUAL 0)
  message(FATAL_ERROR "packaging/changelog starts with '${KESTROVA_CHANGELOG_TOP}': "
                      "write an entry for kestrova-capture (${PROJECT_VERSION}) on top")
endif()

# Debian wants both gzipped, at the highest level and without a time stamp,
# so that the same sources give the same package.
find_program(KESTROVA_GZIP gzip REQUIRED)
set(KESTROVA_GZIPPED "")
foreach(pair "man/kestrova-capture.1;kestrova-capture.1" "packaging/changelog;changelog")
  list(GET pair 0 source)
  list(GET pair 1 name)
  set(plain ${PROJECT_BINARY_DIR}/packaging/${name})
  add_custom_command(OUTPUT ${plain}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${source} ${plain}
    COMMAND ${KESTROVA_GZIP} -9nf ${plain}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source}
    VERBATIM)
  list(APPEND KESTROVA_GZIPPED ${plain}.gz)
endforeach()
add_custom_target(kestrova_gzipped_docs ALL DEPENDS ${KESTROVA_GZIPPED})

install(TARGETS kestrova-capture RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_BINARY_DIR}/packaging/kestrova-capture.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# A native package: this tree is its own upstream, so the version has no
# Debian revision and the changelog is changelog.gz.
set(CPACK_PACKAGE_NAME kestrova-capture)
set(CPACK_PACKAGE_VENDOR "kestrova developers")
set(CPACK_PACKAGE_CONTACT "kestrova developers <dev@kestrova.invalid>")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen text, frontmost application and clipboard for a host app")
set(CPACK_PACKAGE_DESCRIPTION [=[
A small helper that a desktop application runs as a child process, one
command per run: screenshot prints the text on the main display as JSON
(recognized with Tesseract), active-app the frontmost application's name,
clipboard the clipboard's text, and activate brings an application to the
front. It works on X11 desktops.

Text is recognized in English, and also in the languages of the user's
locale whose Tesseract data is installed (tesseract-ocr-fra for French, say).]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries come from what the binary and the recognizer module link;
# the English model is read from disk, so no linker sees it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS tesseract-ocr-eng)
# Other languages help only the users whose locale names them, and all of
# them together weigh hundreds of megabytes: suggested, never pulled in.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS tesseract-ocr-all)
include(CPack)
