# The files that ship beside morvane.exe (the two alert sounds, the help file
# and the same help as a web page), the icons that the resource script
# includes, and their tests.
# Included from the top-level CMakeLists.txt once Python3_EXECUTABLE is known.
#
#   morvane_data  (ALL)  bin/warning.wav, bin/drums.wav, bin/help.hlp, bin/help.html
#   morvane_icons (ALL)  generated/tvN.img (the pictures), generated/morvane.grp (icon 107),
#                        generated/small.grp (icon 108), generated/morvane.ico (every picture)

get_filename_component(MORVANE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(MORVANE_DATA_DIR "${CMAKE_BINARY_DIR}/bin")
set(MORVANE_ICON_DIR "${CMAKE_BINARY_DIR}/generated")

add_custom_command(
    OUTPUT "${MORVANE_DATA_DIR}/warning.wav" "${MORVANE_DATA_DIR}/drums.wav"
    COMMAND "${Python3_EXECUTABLE}" "${MORVANE_ROOT}/tools/make_sounds.py" "${MORVANE_DATA_DIR}"
    DEPENDS "${MORVANE_ROOT}/tools/make_sounds.py"
    COMMENT "Synthesising warning.wav and drums.wav"
    VERBATIM)

add_custom_command(
    OUTPUT "${MORVANE_DATA_DIR}/help.hlp" "${MORVANE_DATA_DIR}/help.html"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${MORVANE_DATA_DIR}"
    COMMAND "${Python3_EXECUTABLE}" "${MORVANE_ROOT}/tools/hlpc.py"
            "${MORVANE_ROOT}/data/help.txt" "${MORVANE_DATA_DIR}/help.hlp"
            "${MORVANE_DATA_DIR}/help.html"
    DEPENDS "${MORVANE_ROOT}/tools/hlpc.py" "${MORVANE_ROOT}/data/help.txt"
    COMMENT "Compiling help.hlp and help.html"
    VERBATIM)

add_custom_target(morvane_data ALL
    DEPENDS "${MORVANE_DATA_DIR}/warning.wav" "${MORVANE_DATA_DIR}/drums.wav"
            "${MORVANE_DATA_DIR}/help.hlp" "${MORVANE_DATA_DIR}/help.html")

set(MORVANE_ICON_ART)
set(MORVANE_ICON_FILES "${MORVANE_ICON_DIR}/morvane.grp" "${MORVANE_ICON_DIR}/small.grp"
                       "${MORVANE_ICON_DIR}/morvane.ico")
foreach(size 16 20 24 32 40 48 256)
    list(APPEND MORVANE_ICON_ART "${MORVANE_ROOT}/res/icons/tv${size}.txt")
    list(APPEND MORVANE_ICON_FILES "${MORVANE_ICON_DIR}/tv${size}.img")
endforeach()
add_custom_command(
    OUTPUT ${MORVANE_ICON_FILES}
    COMMAND "${Python3_EXECUTABLE}" "${MORVANE_ROOT}/tools/make_icons.py" "${MORVANE_ICON_DIR}"
            --source "${MORVANE_ROOT}/res/icons"
    DEPENDS "${MORVANE_ROOT}/tools/make_icons.py" ${MORVANE_ICON_ART}
    COMMENT "Drawing the icons"
    VERBATIM)

add_custom_target(morvane_icons ALL DEPENDS ${MORVANE_ICON_FILES})

# The tests, unless the project was configured without them.
if(DEFINED MORVANE_TESTS AND NOT MORVANE_TESTS)
    return()
endif()

# Host-side checks: plain Python, not run under Wine.
add_test(NAME data.help_compiler
         COMMAND "${Python3_EXECUTABLE}" "${MORVANE_ROOT}/tests/data/test_hlpc.py"
                 --data-dir "${MORVANE_DATA_DIR}")
add_test(NAME data.sounds
         COMMAND "${Python3_EXECUTABLE}" "${MORVANE_ROOT}/tests/data/test_sounds.py"
                 --data-dir "${MORVANE_DATA_DIR}")
add_test(NAME data.icons
         COMMAND "${Python3_EXECUTABLE}" "${MORVANE_ROOT}/tests/data/test_icons.py"
                 --icon-dir "${MORVANE_ICON_DIR}")

# The built help file in Wine's viewer, opened as the program opens it: from
# the folder that holds it, since WinHelpA hangs on a file it cannot find.
add_executable(help_viewer_test "${MORVANE_ROOT}/tests/data/help_viewer_test.cpp")
target_link_libraries(help_viewer_test PRIVATE user32)
if(DEFINED MORVANE_WARNINGS)
    target_compile_options(help_viewer_test PRIVATE ${MORVANE_WARNINGS})
endif()
target_link_options(help_viewer_test PRIVATE -static)
set_target_properties(help_viewer_test PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
add_dependencies(help_viewer_test morvane_data)
add_test(NAME data.help_viewer
         COMMAND help_viewer_test "Morvane Help" "What Morvane does"
         WORKING_DIRECTORY "${MORVANE_DATA_DIR}")
# The viewer is one per desktop: a test that opens it from the program must
# take the same lock.
set_tests_properties(data.help_viewer PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK help_viewer)
