# Run by cpack once the files are staged under /opt/morvel: moves the desktop
# entry and icons to /usr/share, where menus look, and adds the links the
# package ships (see debian/postinst for the configuration file's).
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
set(app "${root}${CPACK_PACKAGING_INSTALL_PREFIX}")
if(NOT EXISTS "${app}/morvel")
  message(FATAL_ERROR "deb_layout.cmake: no morvel staged in ${app}")
endif()
file(MAKE_DIRECTORY "${root}/usr/bin")
file(RENAME "${app}/share" "${root}/usr/share")
file(CREATE_LINK "${CPACK_PACKAGING_INSTALL_PREFIX}/morvel" "${root}/usr/bin/morvel" SYMBOLIC)
file(CREATE_LINK /var/lib/morvel/morvel.INI "${app}/morvel.INI" SYMBOLIC)
