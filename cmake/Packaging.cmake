# The release package of the Windows build: the plugin laid out as a host installs it, what a
# host integrator needs to write or check a host, and (when it is built) the host emulator to
# try the plugin in.
#
#   cmake --install build/mingw32 --prefix <folder>     (or: cd build/mingw32 && cpack -G ZIP)
#
# zun-clubs-<version>-win32.zip (win64 for the x86_64 test build) holds, in one folder:
#   zun-clubs-host.exe              the host emulator (when the build has it), which loads the
#                                   plugin from plugins/zun-clubs/ beside itself
#   worlds/                         the emulator's sample worlds (with the emulator)
#   plugins/zun-clubs/zun-clubs.dll, plugins/zun-clubs/yaml.dll
#                                   the plugin and the YAML library it loads from its own folder
#   include/host_boundary.h         the records and tables of the host boundary
#   licenses/                       the notices of the code inside the programs and DLLs
#   README.txt                      how to install and check the files, and run the emulator
#   SHA256SUMS                      the SHA-256 of every other file (sha256sum -c SHA256SUMS)
# yaml.dll and libyaml's license are built by scripts/build-yaml-dll.sh into ZC_YAML_DLL_DIR.
# The debug symbols split out of the binaries stay out; scripts/run-windows-tests.sh archives
# them beside the package.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_SYSTEM_NAME win32)
endif()

# Notes for a Windows user, with CRLF line endings for Notepad (set in a second pass: the host's
# lines are substituted as one value, whose line ends the first pass leaves alone).
set(ZC_README_HOST_FILES "")
set(ZC_README_HOST_USE "")
if(TARGET zun-clubs-host)
  string(CONCAT ZC_README_HOST_FILES
    "  zun-clubs-host.exe               the host emulator, to try the plugin in (see below)\n"
    "  worlds\\                          the emulator's sample worlds\n")
  file(READ "${PROJECT_SOURCE_DIR}/cmake/README-host.txt.in" ZC_README_HOST_USE)
endif()
configure_file("${PROJECT_SOURCE_DIR}/cmake/README.txt.in" "${PROJECT_BINARY_DIR}/README.txt.lf"
  @ONLY)
configure_file("${PROJECT_BINARY_DIR}/README.txt.lf" "${PROJECT_BINARY_DIR}/README.txt" @ONLY
  NEWLINE_STYLE CRLF)
install(FILES "${PROJECT_BINARY_DIR}/README.txt" DESTINATION .)

# The DLL alone, where a host installs it: a host needs no import library for a plugin it opens
# at run time.
install(FILES $<TARGET_FILE:zun-clubs> "${ZC_YAML_DLL_DIR}/yaml.dll" DESTINATION plugins/zun-clubs)
install(FILES "${PROJECT_SOURCE_DIR}/plugin/host_boundary.h" DESTINATION include)

if(TARGET zun-clubs-host)
  # Unpacked, the emulator runs as it stands: it finds the plugin beside itself.
  install(FILES $<TARGET_FILE:zun-clubs-host> DESTINATION .)
  install(DIRECTORY "${PROJECT_SOURCE_DIR}/worlds/" DESTINATION worlds)
endif()

# RapidJSON is compiled into zun-clubs.dll (and the emulator), libyaml is yaml.dll, and the
# mingw-w64 run time (winpthreads among it) is linked into every binary.
set(ZC_RAPIDJSON_NOTICE /usr/share/doc/rapidjson-dev/copyright
    CACHE FILEPATH "RapidJSON's copyright and license notice")
set(ZC_MINGW_NOTICE /usr/share/doc/mingw-w64-common/copyright
    CACHE FILEPATH "The mingw-w64 run time's copyright and license notice")
install(FILES "${ZC_RAPIDJSON_NOTICE}" DESTINATION licenses RENAME RapidJSON.txt)
install(FILES "${ZC_YAML_DLL_DIR}/libyaml-license.txt" DESTINATION licenses RENAME libyaml.txt)
install(FILES "${ZC_MINGW_NOTICE}" DESTINATION licenses RENAME mingw-w64.txt)

# Written last, over the files the rules above installed (not whatever else the prefix holds), in
# the form sha256sum -c reads.
install(CODE [[
  set(zc_root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  set(zc_sums "")
  foreach(zc_file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
    file(RELATIVE_PATH zc_name "${zc_root}" "${zc_file}")
    file(SHA256 "${zc_file}" zc_hash)
    string(APPEND zc_sums "${zc_hash}  ${zc_name}\n")
  endforeach()
  file(WRITE "${zc_root}/SHA256SUMS" "${zc_sums}")
  message(STATUS "Installing: ${zc_root}/SHA256SUMS")
]])

set(CPACK_PACKAGE_NAME zun-clubs)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR zun-clubs)
set(CPACK_GENERATOR ZIP)
include(CPack)
