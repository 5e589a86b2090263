# Cross-build for 64-bit Windows with Debian's mingw-w64 compilers (the
# "-posix" ones, which give std::thread). Programs link statically so that
# they run under Wine, or on Windows, without the compiler's DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# Libraries cross-built for Windows (SQLite, utf8proc) lie in VELDRA_WINDOWS_DEPS,
# a prefix with include/ and lib/ (scripts/test-windows.sh makes one).
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${VELDRA_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# The variable reaches the compiler checks, which read this file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELDRA_WINDOWS_DEPS)
