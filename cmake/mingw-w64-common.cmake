# What both mingw-w64 toolchain files share; each sets ZC_MINGW_TRIPLE, CMAKE_SYSTEM_PROCESSOR
# and the Wine loader's names (ZC_WINE_NAMES, optionally ZC_WINE_PATHS) before including this.
# The posix-threads variant of the compiler provides std::mutex and friends; the C and C++
# run-time support and winpthread are linked statically, so the DLL and the test programs need
# nothing beyond the system DLLs (and yaml.dll, which the plugin loads at run time).

set(CMAKE_SYSTEM_NAME Windows)

find_program(ZC_MINGW_CC NAMES ${ZC_MINGW_TRIPLE}-gcc-posix ${ZC_MINGW_TRIPLE}-gcc REQUIRED)
find_program(ZC_MINGW_CXX NAMES ${ZC_MINGW_TRIPLE}-g++-posix ${ZC_MINGW_TRIPLE}-g++ REQUIRED)
set(CMAKE_C_COMPILER ${ZC_MINGW_CC})
set(CMAKE_CXX_COMPILER ${ZC_MINGW_CXX})
set(CMAKE_RC_COMPILER ${ZC_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZC_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -O2 rather than CMake's -O3 for Release: GCC 12's -O3 inlining of std::string concatenation
# makes -Wrestrict report overlaps that cannot happen, and -O2 builds faster.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of the Release build")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of the Release build")

# -static makes the linker take libstdc++, libgcc and libwinpthread from their archives.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The header-only and header-for-types dependencies live in the host's /usr/include, which must
# not be searched as a whole (its C library headers would shadow mingw's). A directory holding
# only links to them stands in for it, searched last like a system directory.
set(zc_stage "${CMAKE_BINARY_DIR}/mingw-include")
file(MAKE_DIRECTORY "${zc_stage}")
foreach(header rapidjson yaml.h nlohmann)
  if(EXISTS /usr/include/${header} AND NOT EXISTS "${zc_stage}/${header}")
    file(CREATE_LINK /usr/include/${header} "${zc_stage}/${header}" SYMBOLIC)
  endif()
endforeach()
set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES "${zc_stage}")
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES "${zc_stage}")
set(ZC_RAPIDJSON_INCLUDE "${zc_stage}" CACHE PATH "RapidJSON headers for the cross build")
set(ZC_YAML_INCLUDE "${zc_stage}" CACHE PATH "yaml.h for the cross build")

# GoogleTest is built from Debian's sources inside this build (tests/CMakeLists.txt).
set(ZC_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")

find_program(ZC_WINE NAMES ${ZC_WINE_NAMES} wine PATHS ${ZC_WINE_PATHS})
if(ZC_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZC_WINE})
endif()
