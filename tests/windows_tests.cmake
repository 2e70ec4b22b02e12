# The tests of the Windows build (tools/windows/build.sh): the logic tests, which need
# no pseudo-terminal and no X server. CTest runs them under wine, the cross-compiling
# emulator of tools/windows/mingw-toolchain.cmake; tools/windows/test.sh runs CTest in
# a wine prefix of its own.

# Wine finds Qt's DLLs and the compiler's runtime through WINEPATH, and Qt its
# offscreen platform plugin through QT_PLUGIN_PATH (drive Z: is the Linux root).
set(rs232_wine_path "Z:${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}")
foreach(runtime_dll ${RS232_MINGW_RUNTIME_DLLS})
    get_filename_component(runtime_dir ${runtime_dll} DIRECTORY)
    string(APPEND rs232_wine_path "\\;Z:${runtime_dir}")
endforeach()
set(RS232_WINE_TEST_ENV
    "WINEPATH=${rs232_wine_path}"
    "WINEDEBUG=-all"
    "QT_PLUGIN_PATH=Z:${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}"
    "QT_QPA_PLATFORM=offscreen")

function(rs232_add_windows_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${RS232_WINE_TEST_ENV}" TIMEOUT 300)
endfunction()

# Code page 936 both ways, character codes, key presses, port order.
rs232_add_windows_test(test_codes test_codes.cpp)
target_link_libraries(test_codes PRIVATE rs232receivecheck)
