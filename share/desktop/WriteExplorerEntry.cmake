# Writes the Windows Explorer entry at install time, so that it names the
# prefix really installed to (cmake --install --prefix, CPack), not the one
# configured. Expects QUORVEX_BINDIR, QUORVEX_DATADIR and QUORVEX_REG_TEMPLATE.

# A path below the prefix as Windows writes it, escaped for a REGEDIT4 string.
function(quorvex_reg_path relative result)
  if(IS_ABSOLUTE "${relative}")
    set(path "${relative}")
  else()
    set(path "${CMAKE_INSTALL_PREFIX}/${relative}")
  endif()
  string(REPLACE "/./" "/" path "${path}")
  string(REGEX REPLACE "/\\.$" "" path "${path}")
  string(REPLACE "/" "\\" path "${path}")
  string(REPLACE "\\" "\\\\" path "${path}")
  string(REPLACE "\"" "\\\"" path "${path}")
  set(${result} "${path}" PARENT_SCOPE)
endfunction()

quorvex_reg_path("${QUORVEX_BINDIR}/quorvex.exe" PROGRAM)
quorvex_reg_path("${QUORVEX_DATADIR}/quorvex" INSTALLATION_DIRECTORY)

if(IS_ABSOLUTE "${QUORVEX_DATADIR}")
  set(folder "$ENV{DESTDIR}${QUORVEX_DATADIR}/quorvex")
else()
  set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${QUORVEX_DATADIR}/quorvex")
endif()
set(destination "${folder}/quorvex-explorer-entry.reg")
message(STATUS "Installing: ${destination}")
file(MAKE_DIRECTORY "${folder}")
configure_file("${QUORVEX_REG_TEMPLATE}" "${destination}" @ONLY NEWLINE_STYLE CRLF)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${destination}")
