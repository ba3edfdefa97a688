# Run by cpack once the files are staged under /opt/morvel: moves the desktop
# entry, icons, manual pages and metadata to /usr/share, where menus, man and
# software centres look, and adds the links the package ships (see
# debian/postinst for the configuration file's) and its documents.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
set(app "${root}${CPACK_PACKAGING_INSTALL_PREFIX}")
if(NOT EXISTS "${app}/morvel")
  message(FATAL_ERROR "deb_layout.cmake: no morvel staged in ${app}")
endif()
file(MAKE_DIRECTORY "${root}/usr/bin")
file(RENAME "${app}/share" "${root}/usr/share")
file(CREATE_LINK "${CPACK_PACKAGING_INSTALL_PREFIX}/morvel" "${root}/usr/bin/morvel" SYMBOLIC)
file(CREATE_LINK /var/lib/morvel/morvel.INI "${app}/morvel.INI" SYMBOLIC)

# The package's own documents: the copyright, the changelog (compressed, -n:
# no name or time stamp) and the overrides of lintian's findings, each with
# its reason.
set(doc "${root}/usr/share/doc/morvel")
file(MAKE_DIRECTORY "${doc}" "${root}/usr/share/lintian/overrides")
file(COPY_FILE "${CPACK_MORVEL_DEBIAN_DIR}/copyright" "${doc}/copyright")
execute_process(COMMAND gzip -9n -c "${CPACK_MORVEL_DEBIAN_DIR}/changelog"
                OUTPUT_FILE "${doc}/changelog.gz" COMMAND_ERROR_IS_FATAL ANY)
file(COPY_FILE "${CPACK_MORVEL_DEBIAN_DIR}/lintian-overrides" "${root}/usr/share/lintian/overrides/morvel")
