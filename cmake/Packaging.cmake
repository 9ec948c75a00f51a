# The Debian package: cpack -G DEB in the build folder. It installs under
# /usr for every user; each user then runs quorvex-setup once for the help
# and the GNOME Files and Thunar entries (Dolphin and Nemo find theirs).
set(CPACK_PACKAGE_NAME quorvex)
set(CPACK_PACKAGE_VERSION ${QUORVEX_VERSION_TEXT})
set(CPACK_PACKAGE_VENDOR "Orvandel Software")
set(CPACK_PACKAGE_CONTACT "Orvandel Software <support@orvandel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Encrypt or decrypt a file in place with a right click")
set(CPACK_PACKAGE_DESCRIPTION
  "Quorvex encrypts or decrypts one file in place under a password. Right-click\n"
  "a file in the file manager, type the password twice and choose Encrypt or\n"
  "Decrypt. Also quorvex-cli for the command line. Each user runs quorvex-setup\n"
  "once to get the help and the right-click entries of GNOME Files and Thunar.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.orvandel.example/")
# dpkg-shlibdeps (package dpkg-dev) finds the exact Qt and OpenSSL libraries
# the programs link; without it the package names them by hand.
find_program(QUORVEX_DPKG_SHLIBDEPS dpkg-shlibdeps)
# Qt loads its display plugins (X11, Wayland) at run time, where
# dpkg-shlibdeps cannot see them; the window needs one to start.
if(QUORVEX_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), qt6-qpa-plugins, libssl3, libstdc++6, libc6")
endif()
# Desktops without a GTK-styled Qt look foreign without it; it is not needed.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-gtk-platformtheme, desktop-file-utils")

include(CPack)
