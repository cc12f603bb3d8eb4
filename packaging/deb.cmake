# The Debian package: `cpack -G DEB` in a build configured with CMAKE_INSTALL_PREFIX=/usr
# (tools/package.sh does both).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME drevonix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Drevonix maintainers <maintainers@users.noreply.c-seed-e6df5484.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Whatever the umask of whoever builds it.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "companion of the USB power controller in car computers
Drevonix lives in the notification area and shows the power controller's ACC
and ATX voltages and its temperature, live and as charts; reads, checks and
writes the controller's parameter block; and turns presses of the
steering-wheel buttons wired to the controller into keystrokes for the media
player.
.
The package also holds drevonix-demo, the same program on a built-in
controller emulator, and drevonix-cli, for logging and parameter backups from
the command line, and for typing the wheel buttons without a desktop (the
user service drevonix-keys, installed but not enabled).")
# The libraries from dpkg-shlibdeps, and Qt's SVG icon plugin, which nothing links
# against: without it the tray and window icons are blank. Debian 13 moved the plugin out of
# libqt6svg6 into qt6-svg-plugins; Debian 12 has it in libqt6svg6. acl: the removal takes back
# the device access the rule gave (setfacl).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-svg-plugins | libqt6svg6 (<< 6.7.2-5~), acl")

set(deb_dir ${CMAKE_CURRENT_BINARY_DIR}/deb)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/deb/conffiles.in ${deb_dir}/conffiles @ONLY)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/deb/postinst ${deb_dir}/postinst COPYONLY)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/deb/postrm ${deb_dir}/postrm COPYONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${deb_dir}/conffiles ${deb_dir}/postinst ${deb_dir}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
