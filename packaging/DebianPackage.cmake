# The Debian package: `cpack -G DEB` in the build folder (or `ninja package`). Its library
# dependencies (Qt 6, libblkid, the C++ runtime) are read from the installed programs by
# dpkg-shlibdeps, from the dpkg-dev package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME restora)
set(CPACK_PACKAGE_VENDOR "Ferrolin")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Recover deleted files from FAT and NTFS volumes, disks and images")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Ferrolin Restora finds deleted files on FAT16, FAT32 and NTFS volumes, whole disks and\n"
    "image files, by their file-system records and by the signatures of known file types, and\n"
    "saves the chosen ones to another folder. It can also copy a volume into an image file.\n"
    "Sources are opened read-only. The package holds the desktop program restora and the\n"
    "command-line program restora-cli.")
set(CPACK_PACKAGE_CONTACT "Ferrolin Restora developers <restora@ferrolin.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
