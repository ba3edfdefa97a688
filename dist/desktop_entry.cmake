# Run at install time: writes the desktop entry with Exec naming the installed
# executable under the prefix actually installed to. The path is quoted by the
# desktop entry rules: \ " ` $ escaped inside the quotes, then every \ doubled
# as the string escape, and % doubled as a field-code escape.
set(exec "${CMAKE_INSTALL_PREFIX}/morvel")
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "\"" "\\\"" exec "${exec}")
string(REPLACE "`" "\\`" exec "${exec}")
string(REPLACE "$" "\\$" exec "${exec}")
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")
set(MORVEL_DESKTOP_EXEC "\"${exec}\"")

set(entry "${CMAKE_INSTALL_PREFIX}/share/applications/morvel.desktop")
message(STATUS "Installing: $ENV{DESTDIR}${entry}")
configure_file("${MORVEL_DESKTOP_IN}" "$ENV{DESTDIR}${entry}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")
