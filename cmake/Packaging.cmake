# The Debian package, built with `cpack -G DEB` in a build folder (see
# scripts/package.sh). Its dependencies are read from the programs with
# dpkg-shlibdeps, so they follow whatever the build links against.
set(CPACK_PACKAGE_NAME tessary)
set(CPACK_PACKAGE_VENDOR "Tessary developers")
set(TESSARY_PACKAGE_MAINTAINER "Tessary developers <tessary@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${TESSARY_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "catalogue of documents on disks, USB drives and CDs")
# CPack puts the summary above this as the first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tessary keeps a library of references to the files on hard disks, USB drives
and CDs, arranged in a tree of categories with a remark on every entry, in a
single .dli file. It imports a folder, a whole drive or a disc as a category
tree, copies a file's content into the library so that it can be read and
searched while the disk is away, searches a category by name, extension,
remark, content, size and date, and exchanges libraries with others.
.
The interface is in Chinese. The package also holds tessary-cli, a
command-line front end for scripts and servers, with its manual page and
bash completion.")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The interface needs a font with Chinese glyphs, and links and files open
# through the desktop's handlers; Qt's own buttons and dialogs speak Chinese
# with Qt's translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei, xdg-utils, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
