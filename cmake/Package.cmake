# The Debian package: `cpack -G DEB` in a build folder (a Release build is the
# one to ship) makes tavrin_VERSION_ARCH.deb from what `cmake --install` puts
# under /usr. Its dependencies come from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The tavrin developers")
set(CPACK_PACKAGE_CONTACT "The tavrin developers <dev@tavrin.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "image viewer, converter and screen grabber")
# The long text below the summary, in lines that fit a terminal; an empty
# line parts paragraphs.
set(CPACK_PACKAGE_DESCRIPTION "tavrin shows one picture in a scrollable window. Select a part of it with
the mouse, crop the picture to it, and drag the selection out to a file
manager or another program, which picks the format it wants; files and
image data dropped on the window are opened or pasted. It also captures
the screen, prints, and shows address cards as postcard faces.

Pictures are read and written by translator add-ons, one per format: PNG,
JPEG, GIF, BMP, TIFF, WebP, Targa and PPM come with it. tavrin opens
whatever an installed translator reads and saves in whatever one writes.

The command tavrin-convert converts pictures from the shell through the
same translators.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Staged through DESTDIR, so the install steps can tell a package from a
# plain install (the system's triggers update its caches).
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${CPACK_PACKAGING_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The kit is private to the package: dpkg-shlibdeps finds it there and asks
# no other package for it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${TAVRIN_INSTALL_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
