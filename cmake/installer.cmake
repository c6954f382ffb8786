# The Windows Installer package: what a Windows user double-clicks to install Morvane for
# themselves, with a Start-menu shortcut and a start at every sign-in.
#
#   msi (ALL)  ->  morvane-<version>-win32.msi
#
# The 64-bit tree makes no package of its own (cmake/package.cmake says why); with the tests it
# builds tests/installer/morvane-<version>-win64-test-only.msi, the installer test's fixture.
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
    set(copy_readme COMMAND ${CMAKE_COMMAND} -E copy ${readme}
                            ${CMAKE_BINARY_DIR}/${stage}/readme.txt)
  endif()
  # The cabinet dates each file by its time, and the summary is made reproducible after wixl
  # (tools/release.py); with a certificate the package is signed last.
  set(built ${output})
  if(MORVANE_SIGN_COMMAND)
    set(built ${CMAKE_BINARY_DIR}/${stage}.msi)
  endif()
  morvane_sign(${built} ${output})
  set(release ${MORVANE_RELEASE_PYTHON} ${MORVANE_TOOL_RELEASE})
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/${stage}
    COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${CMAKE_BINARY_DIR}/${stage}
            --strip
    ${copy_readme}
    COMMAND ${release} stamp ${MORVANE_SOURCE_DATE_EPOCH} ${CMAKE_BINARY_DIR}/${stage}
    COMMAND ${MORVANE_WIXL} -a ${MORVANE_MSI_ARCH} -D Version=${version}
            -D ProductCode=${product_code} -D "Publisher=${MORVANE_PUBLISHER}"
            -D Stage=${stage} -D Icon=generated/morvane.ico -o ${built} ${MORVANE_WXS}
    COMMAND ${release} msi ${MORVANE_SOURCE_DATE_EPOCH} ${product_code} ${built}
    ${sign}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    # What the install rules stage, as the archive's; they change when cmake_install.cmake does.
    DEPENDS ${MORVANE_RELEASE_EXE} ${MORVANE_WXS} ${readme} ${CMAKE_BINARY_DIR}/readme.txt
            ${CMAKE_BINARY_DIR}/cmake_install.cmake ${MORVANE_TOOL_RELEASE}
            ${CMAKE_BINARY_DIR}/bin/warning.wav ${CMAKE_BINARY_DIR}/bin/drums.wav
            ${CMAKE_BINARY_DIR}/bin/help.hlp ${CMAKE_BINARY_DIR}/bin/help.html
            ${CMAKE_BINARY_DIR}/generated/morvane.ico
    COMMENT "Building ${name}.msi with wixl"
    VERBATIM)
endfunction()

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(MORVANE_MSI ${CMAKE_BINARY_DIR}/${MORVANE_PACKAGE_NAME}.msi)
elseif(MORVANE_TESTS)
  set(MORVANE_MSI ${CMAKE_BINARY_DIR}/tests/installer/${MORVANE_PACKAGE_NAME}.msi)
else()
  return()
endif()
morvane_msi(${MORVANE_MSI} ${PROJECT_VERSION} ${CMAKE_BINARY_DIR}/readme.txt)
add_custom_target(msi ALL DEPENDS ${MORVANE_MSI})

if(NOT MORVANE_TESTS)
  return()
endif()

# The test upgrades from an older version: the same files under a lower version, whose readme
# names that version, as an older release's would.
if(PROJECT_VERSION_PATCH GREATER 0)
  math(EXPR patch "${PROJECT_VERSION_PATCH} - 1")
  set(older ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${patch})
elseif(PROJECT_VERSION_MINOR GREATER 0)
  math(EXPR minor "${PROJECT_VERSION_MINOR} - 1")
  set(older ${PROJECT_VERSION_MAJOR}.${minor}.0)
else()
  math(EXPR major "${PROJECT_VERSION_MAJOR} - 1")
  set(older ${major}.99.0)
endif()
function(morvane_older_readme older)
  set(PROJECT_VERSION ${older})
  configure_file(${CMAKE_SOURCE_DIR}/data/readme.txt ${CMAKE_BINARY_DIR}/tests/installer/readme.txt
                 @ONLY NEWLINE_STYLE CRLF)
endfunction()
morvane_older_readme(${older})
set(older_msi ${CMAKE_BINARY_DIR}/tests/installer/morvane-${older}-${MORVANE_PACKAGE_SYSTEM}.msi)
morvane_msi(${older_msi} ${older} ${CMAKE_BINARY_DIR}/tests/installer/readme.txt)
add_custom_target(msi_older ALL DEPENDS ${older_msi})

# The test: both packages installed, upgraded, refused and removed by Wine's own msiexec in a
# prefix of the test's own (tests/installer/installer_test.py). The 64-bit tree's driver also
# watches the program that the install and a new session start.
set(driver)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_executable(installer_session_driver ${CMAKE_SOURCE_DIR}/tests/installer/session_driver.cpp)
  target_compile_options(installer_session_driver PRIVATE ${MORVANE_WARNINGS})
  target_link_libraries(installer_session_driver PRIVATE gtest morvane_e2e)
  set_target_properties(installer_session_driver PROPERTIES
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set(driver --driver $<TARGET_FILE:installer_session_driver>)
endif()
add_test(NAME installer_test
         COMMAND ${MORVANE_OWN_DISPLAY} 1${MORVANE_WINE_BITS}
                 ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/installer/installer_test.py
                 --source-dir ${CMAKE_SOURCE_DIR} --work ${CMAKE_BINARY_DIR}/installer-test
                 --msi ${MORVANE_MSI} --version ${PROJECT_VERSION}
                 --older-msi ${older_msi} --older-version ${older}
                 --publisher ${MORVANE_PUBLISHER} --arch ${MORVANE_MSI_ARCH}
                 --cpack ${CMAKE_CPACK_COMMAND} --cpack-config ${MORVANE_CPACK_CONFIG}
                 --icon ${CMAKE_BINARY_DIR}/generated/morvane.ico ${driver})
# Its prefix is its own; only the next minute's alert makes it wait.
set_tests_properties(installer_test PROPERTIES TIMEOUT 600)
set_tests_properties(installer_test PROPERTIES COST 500)
