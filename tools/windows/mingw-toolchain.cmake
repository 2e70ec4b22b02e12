# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (POSIX threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(RS232_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RS232_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RS232_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${RS232_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${RS232_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)

# The compiler's runtime DLLs, which the program and the tests load: shipped
# beside the program (dist/windows/), found through WINEPATH by the tests.
set(RS232_MINGW_RUNTIME_DLLS)
foreach(runtime_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime_dll}
                    OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${runtime_path}" OR NOT EXISTS "${runtime_path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${runtime_dll} is")
    endif()
    file(REAL_PATH "${runtime_path}" runtime_path)
    list(APPEND RS232_MINGW_RUNTIME_DLLS ${runtime_path})
endforeach()
