# Installing like any other program (GNUInstallDirs folders): the programs
# (their own install rules), man pages for both, a desktop entry and an icon
# for the window with the MIME type of captures, bash completion for pcinfo-cli;
# and CPack's .deb:
#
#   cmake --preset default && cmake --build --preset default --target package
set(_pcinfo_dist ${PROJECT_SOURCE_DIR}/dist)

if(NOT WIN32)
  find_program(PCINFO_GZIP gzip)
  foreach(page pcinfo pcinfo-cli)
    configure_file(${_pcinfo_dist}/${page}.1.in ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
    if(PCINFO_GZIP)
      add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
        COMMAND ${PCINFO_GZIP} -9nf -k ${CMAKE_BINARY_DIR}/man/${page}.1
        DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1 VERBATIM)
      list(APPEND _pcinfo_man ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    else()
      list(APPEND _pcinfo_man ${CMAKE_BINARY_DIR}/man/${page}.1)
    endif()
  endforeach()
  add_custom_target(pcinfo_man ALL DEPENDS ${_pcinfo_man})
  install(FILES ${_pcinfo_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${_pcinfo_dist}/pcinfo-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME pcinfo-cli)
  if(TARGET pcinfo)
    install(FILES ${_pcinfo_dist}/pcinfo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    # Captures named *.pcinfo.json, which the desktop entry opens.
    install(FILES ${_pcinfo_dist}/pcinfo-capture.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
            RENAME pcinfo.xml)
    install(FILES ${_pcinfo_dist}/pcinfo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  endif()

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME pcinfo)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_VENDOR "pcinfo")
  set(CPACK_PACKAGE_CONTACT "pcinfo maintainers <pcinfo@localhost>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PC information collector: WMI classes shown as text, window and console")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "PC information collector\n A window of 61 category buttons (CPU, BIOS, drives, USB, memory, network, ...)\n and its console companion pcinfo-cli, which also captures a machine as a\n snapshot, sanitizes it for sharing, compares two captures and loads many\n into an inventory (SQLite, or PostgreSQL through libpq).")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The printers come from libcups, and `--db postgresql://` goes through libpq:
  # each loaded while the program runs where it is installed.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libcups2, libpq5")
  set(CPACK_STRIP_FILES ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  include(CPack)
endif()

# Windows: one portable zip, unpacked anywhere and run from there (a USB stick,
# a network share): pcinfo.exe and pcinfo-cli.exe side by side, a Japanese
# README and the licences of what the static link put into them.
#
#   cmake --preset mingw && cmake --build --preset mingw --target package
if(WIN32)
  # The README as Notepad reads it on every Windows: CR LF, and the source file
  # begins with the UTF-8 byte order mark.
  file(READ ${_pcinfo_dist}/windows/README.txt _pcinfo_readme)
  string(REPLACE "\n" "\r\n" _pcinfo_readme "${_pcinfo_readme}")
  file(WRITE ${CMAKE_BINARY_DIR}/package/README.txt "${_pcinfo_readme}")
  # The licences, from the Debian packages the build took them from.
  set(_pcinfo_licences
      "libstdc++, libgcc (GCC, with the GCC Runtime Library Exception)|/usr/share/doc/gcc-mingw-w64-base/copyright"
      "mingw-w64 runtime and winpthreads|/usr/share/doc/mingw-w64-common/copyright"
      "nlohmann/json|/usr/share/doc/nlohmann-json3-dev/copyright"
      "CLI11 (pcinfo-cli.exe)|/usr/share/doc/libcli11-dev/copyright")
  set(_pcinfo_text "pcinfo.exe and pcinfo-cli.exe are linked statically with the following.\n")
  foreach(entry ${_pcinfo_licences})
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 _name)
    list(GET entry 1 _file)
    if(NOT EXISTS ${_file})
      message(FATAL_ERROR "licence text ${_file} is missing (its Debian package is not installed)")
    endif()
    file(READ ${_file} _body)
    string(APPEND _pcinfo_text "\n==============================================================================\n"
           "${_name}\n==============================================================================\n\n${_body}")
  endforeach()
  string(REPLACE "\n" "\r\n" _pcinfo_text "${_pcinfo_text}")
  file(WRITE ${CMAKE_BINARY_DIR}/package/LICENSES.txt "${_pcinfo_text}")
  install(FILES ${CMAKE_BINARY_DIR}/package/README.txt ${CMAKE_BINARY_DIR}/package/LICENSES.txt DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME pcinfo)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_FILE_NAME pcinfo-${PROJECT_VERSION}-windows-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
endif()
