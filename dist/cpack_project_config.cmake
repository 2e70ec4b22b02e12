# Read by CPack for each package it makes: a Debian package is only made when its library
# dependencies can be worked out; the Windows installer is named apart from the ZIP.
if(CPACK_GENERATOR STREQUAL "DEB")
    find_program(RS232_DPKG_SHLIBDEPS dpkg-shlibdeps)
    find_program(RS232_FILE file)
    if(NOT RS232_DPKG_SHLIBDEPS OR NOT RS232_FILE)
        message(FATAL_ERROR "The Debian package's dependencies are read from the program with "
                            "dpkg-shlibdeps and file: sudo apt-get install dpkg-dev file")
    endif()
endif()

if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
