# The Debian package: `cpack -G DEB` in the build folder makes lorvante_<version>_<arch>.deb with
# the install tree below /usr and its dependencies computed from the binaries (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lorvante)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The LORVANTE developers")
set(CPACK_PACKAGE_CONTACT "LORVANTE developers <dev@lorvante.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn encrypted data files back into readable files")
set(CPACK_PACKAGE_DESCRIPTION
    "LORVANTE decrypts an encrypted data file and puts its content where the\n"
    "user chooses: a text document is saved under the name given in a save\n"
    "dialog, an archive of files is extracted into the folder picked in a\n"
    "folder dialog. A double-click on such a file in the file manager starts\n"
    "it. Without a display it runs in the terminal. lorvante-pack makes such\n"
    "files.")
# (No ';' in the text: CMake would take it for a list separator and drop it.)
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://lorvante.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The notification's "open folder" action runs xdg-open; Qt's own dialogs speak the user's
# language with the translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
