# Windows (x86_64, mingw-w64 with POSIX threads: the win32 model has no std::mutex) from
# Linux. DREVONIX_WINDOWS_PREFIX, a cache variable or the environment, is the folder that
# tools/windows-deps.sh built Qt, QCustomPlot, hidapi and GoogleTest into.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT DREVONIX_WINDOWS_PREFIX AND DEFINED ENV{DREVONIX_WINDOWS_PREFIX})
    set(DREVONIX_WINDOWS_PREFIX "$ENV{DREVONIX_WINDOWS_PREFIX}" CACHE PATH "Windows libraries")
endif()
# try_compile projects read this file again and need the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES DREVONIX_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${DREVONIX_WINDOWS_PREFIX})
set(CMAKE_PREFIX_PATH ${DREVONIX_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
