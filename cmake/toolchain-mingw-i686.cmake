# Cross build for the plugin's real target, 32-bit Windows, with Debian's mingw-w64 compilers.
# Test programs run under (32-bit) Wine when it is installed.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZC_MINGW_TRIPLE i686-w64-mingw32)
set(ZC_WINE_NAMES wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
