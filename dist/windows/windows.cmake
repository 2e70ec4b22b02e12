# Installs the Windows program as it ships, and sets CPack up for a ZIP and an NSIS installer.
#
# rs232test.exe sits at the top of the installed tree with Qt's DLLs beside it
# (shared libraries, the LGPL's usual way), the platform and style plugins in
# platforms/ and styles/ where Qt looks for them next to the program, the
# mingw-w64 runtime DLLs, the program's licence and the third-party notices.
install(TARGETS rs232test RUNTIME DESTINATION .)

foreach(qt_library Qt6::Core Qt6::Gui Qt6::Widgets)
    install(FILES $<TARGET_FILE:${qt_library}> DESTINATION .)
endforeach()
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)

# The C++ runtime of the cross compiler in use (tools/windows/mingw-toolchain.cmake).
if(NOT RS232_MINGW_RUNTIME_DLLS)
    message(FATAL_ERROR "Build for Windows with tools/windows/mingw-toolchain.cmake "
                        "(tools/windows/build.sh does)")
endif()
install(FILES ${RS232_MINGW_RUNTIME_DLLS} DESTINATION .)

# Stripping (CPack's CPACK_STRIP_FILES, cmake --install --strip) leaves no
# debugging sections in the DLLs shipped either (half the package).
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        file(GLOB_RECURSE shipped_dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.dll\")
        foreach(dll IN LISTS shipped_dlls)
            execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${dll}\"
                            COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()")

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/THIRD-PARTY-NOTICES.txt DESTINATION .)
install(DIRECTORY ${CMAKE_CURRENT_LIST_DIR}/licenses/ DESTINATION licenses)

# CPack: rs232test-<version>-win64.zip, and the installer
# rs232test-<version>-win64-setup.exe (named in cpack_project_config.cmake)
# made by makensis from NSIS.template.in beside this file.
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_FILE_NAME rs232test-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY rs232test)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_NSIS_DISPLAY_NAME "RS-232串行通信测试程序")
set(CPACK_NSIS_PACKAGE_NAME "RS-232串行通信测试程序 ${PROJECT_VERSION}")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/assets/icon.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/assets/icon.ico)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
