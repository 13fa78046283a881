# Cross build for 64-bit Windows with Debian's mingw-w64 compilers: the same code and tests as
# the 32-bit target, run under 64-bit Wine on machines that cannot run 32-bit programs (and so
# cannot run 32-bit Wine). It also proves the code right where pointers are 64 bits and `long`
# stays 32 (LLP64).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZC_MINGW_TRIPLE x86_64-w64-mingw32)
# Debian's `wine` wrapper prefers the 32-bit loader when it is installed; the 64-bit loader runs
# 64-bit programs without it.
set(ZC_WINE_NAMES wine64)
set(ZC_WINE_PATHS /usr/lib/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
