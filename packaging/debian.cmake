# The Debian package: "cpack -G DEB" in a build tree, or scripts/package.sh,
# which builds one configured for /usr. Included from the top CMakeLists.txt
# after every install() rule.

# Debian's documents of the package. The changelog's newest entry names the
# package's version (checked by tests/packaging); man pages and changelog are
# compressed without a time stamp, so that the same sources give the same
# package.
find_program(OMBRELO_GZIP gzip REQUIRED)
function(ombrelo_gzip_file source destination)
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
  execute_process(COMMAND "${OMBRELO_GZIP}" -9 -n -c "${source}" OUTPUT_FILE "${destination}"
                  RESULT_VARIABLE _result)
  if(NOT _result EQUAL 0)
    message(FATAL_ERROR "Could not compress ${source}")
  endif()
endfunction()

set(_packaging_dir "${PROJECT_BINARY_DIR}/packaging")
file(MAKE_DIRECTORY "${_packaging_dir}")
foreach(_page ombrelo.1 ombrelo-index.1)
  ombrelo_gzip_file("${PROJECT_SOURCE_DIR}/docs/man/${_page}" "${_packaging_dir}/${_page}.gz")
  install(FILES "${_packaging_dir}/${_page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endforeach()
ombrelo_gzip_file("${CMAKE_CURRENT_LIST_DIR}/changelog" "${_packaging_dir}/changelog.Debian.gz")
set(_doc_dir "${CMAKE_INSTALL_DATADIR}/doc/ombrelo")
install(FILES "${CMAKE_CURRENT_LIST_DIR}/copyright" "${_packaging_dir}/changelog.Debian.gz"
        DESTINATION "${_doc_dir}")
install(FILES "${CMAKE_CURRENT_LIST_DIR}/lintian-overrides"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" RENAME ombrelo)

set(OMBRELO_PACKAGE_MAINTAINER "Ombrelo Maintainers <ombrelo@tessaly.invalid>"
    CACHE STRING "Maintainer field of the Debian package (name <address>)")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ombrelo)
set(CPACK_PACKAGE_VENDOR Tessaly)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${OMBRELO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "visual indexes of video files")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Ombrelo looks through videos and keeps a picture every few seconds. For
every video it makes thumbnails, an image playlist, a web page to browse the
pictures and an index photo that shows the whole video at a glance.

The package holds the desktop program ombrelo, the command-line indexer
ombrelo-index (also a thumbnailer for file managers), their templates and help
pages.")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(OMBRELO_PRODUCT_WEB_SITE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${OMBRELO_PRODUCT_WEB_SITE}")
endif()
# Depends is computed by dpkg-shlibdeps from the programs' shared libraries.
# The platform plugins that the desktop program loads at run time (xcb,
# offscreen) come with libqt6gui6, which it links. Its icons are SVG files,
# drawn by Qt's SVG image and icon plugins from libqt6svg6: a plugin is
# loaded, never linked, so that one is named here and shlibdeps adds the rest.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt opens pages, pictures and folders with the desktop's default program
# through xdg-open; Qt's own dialogs (the file chooser, standard buttons)
# speak the user's language with Qt's catalogues. Everything else works
# without them: the program's own catalogues are built into it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The desktop, MIME and icon caches are renewed by the file triggers of
# desktop-file-utils, shared-mime-info and hicolor-icon-theme on the folders
# below /usr/share that the package fills; it needs no maintainer scripts.
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
