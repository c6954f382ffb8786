# The Windows Installer package: what a Windows user double-clicks to install Morvane for
# themselves, with a Start-menu shortcut and a start at every sign-in.
#
#   msi (ALL)  ->  morvane-<version>-win32.msi  (win64 in the 64-bit tree, tested, never released)
#
# built from installer/morvane.wxs by Debian's wixl, from the very files the release archive
# holds: they are staged with `cmake --install --strip`, as CPack stages them.
# Included from the top-level CMakeLists.txt after cmake/package.cmake.

find_program(MORVANE_WIXL wixl)
if(NOT MORVANE_WIXL)
  message(FATAL_ERROR "wixl (Debian package wixl) builds the installer package; "
                      "scripts/setup.sh installs it")
endif()

set(MORVANE_WXS ${CMAKE_SOURCE_DIR}/installer/morvane.wxs)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${MORVANE_WXS})
# Each version's product code is derived from the upgrade code, which the source keeps.
file(READ ${MORVANE_WXS} wxs)
if(NOT wxs MATCHES "UpgradeCode=\"([0-9A-Fa-f-]+)\"")
  message(FATAL_ERROR "no UpgradeCode in ${MORVANE_WXS}")
endif()
set(MORVANE_UPGRADE_CODE ${CMAKE_MATCH_1})

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(MORVANE_MSI_ARCH x86)
else()
  set(MORVANE_MSI_ARCH x64)
endif()

# morvane_msi(OUTPUT VERSION README): a package of the staged files, as version VERSION, with
# README in place of the readme the archive holds.
function(morvane_msi output version readme)
  get_filename_component(name ${output} NAME_WLE)
  # wixl 0.101 finds files only by paths relative to its working directory.
  set(stage msi-stage/${name})
  # A rebuild of one version is the same product, not a second entry in Apps & features.
  string(UUID product_code NAMESPACE ${MORVANE_UPGRADE_CODE}
         NAME "Morvane ${version} ${MORVANE_MSI_ARCH}" TYPE SHA1 UPPER)
  set(copy_readme)
  if(NOT readme STREQUAL ${CMAKE_BINARY_DIR}/readme.txt)
    set(copy_readme COMMAND ${CMAKE_COMMAND} -E copy ${readme} ${CMAKE_BINARY_DIR}/${stage}/readme.txt)
  endif()
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/${stage}
    COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${CMAKE_BINARY_DIR}/${stage}
            --strip
    ${copy_readme}
    COMMAND ${MORVANE_WIXL} -a ${MORVANE_MSI_ARCH} -D Version=${version}
            -D ProductCode=${product_code} -D "Publisher=${MORVANE_PUBLISHER}"
            -D Stage=${stage} -D Icon=generated/morvane.ico -o ${output} ${MORVANE_WXS}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    # What the install rules stage, as the archive's; they change when cmake_install.cmake does.
    DEPENDS morvane ${MORVANE_WXS} ${readme} ${CMAKE_BINARY_DIR}/readme.txt
            ${CMAKE_BINARY_DIR}/cmake_install.cmake
            ${CMAKE_SOURCE_DIR}/cmake/strip-keeps-link-time.cmake
            ${CMAKE_BINARY_DIR}/bin/warning.wav ${CMAKE_BINARY_DIR}/bin/drums.wav
            ${CMAKE_BINARY_DIR}/bin/help.hlp ${CMAKE_BINARY_DIR}/bin/help.html
            ${CMAKE_BINARY_DIR}/generated/morvane.ico
    COMMENT "Building ${name}.msi with wixl"
    VERBATIM)
endfunction()

set(MORVANE_MSI ${CMAKE_BINARY_DIR}/${MORVANE_PACKAGE_NAME}.msi)
morvane_msi(${MORVANE_MSI} ${PROJECT_VERSION} ${CMAKE_BINARY_DIR}/readme.txt)
add_custom_target(msi ALL DEPENDS ${MORVANE_MSI})
