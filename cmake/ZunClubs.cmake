# Helpers shared by every directory's CMakeLists.txt.

function(zc_set_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra)
  endif()
  # Clang checks the ZC_GUARDED_BY / ZC_REQUIRES annotations of platform/mutex.h users.
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    target_compile_options(${target} PRIVATE -Wthread-safety -Werror=thread-safety-analysis)
  endif()
endfunction()

# zc_add_module(<name> SOURCES <files...> DEPENDS <modules...>)
# One layer of the plugin: a static, position-independent library with hidden symbols.
function(zc_add_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  if(NOT ARG_SOURCES)
    # A layer that has no code yet still exists, so that its dependents link.
    set(ARG_SOURCES ${PROJECT_SOURCE_DIR}/cmake/empty_module.cpp)
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_include_directories(${name} SYSTEM PUBLIC ${ZC_RAPIDJSON_INCLUDE} ${ZC_YAML_INCLUDE})
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} Threads::Threads ${CMAKE_DL_LIBS})
  zc_set_warnings(${name})
  set(ZC_MODULES ${ZC_MODULES} ${name} CACHE INTERNAL "")
endfunction()

# The plugin's code looks for yaml.dll in the folder of its own module: a test program that
# links the code in, or the plugin DLL. The Windows build puts a copy beside each.
function(zc_copy_yaml_dll_beside target)
  if(WIN32 AND EXISTS "${ZC_YAML_DLL_DIR}/yaml.dll")
    get_target_property(folder ${target} BINARY_DIR)
    configure_file("${ZC_YAML_DLL_DIR}/yaml.dll" "${folder}/yaml.dll" COPYONLY)
  endif()
endfunction()

# zc_add_test(<name> SOURCES <files...> [LIBS <libs...>] [LABELS <labels...>])
# A GoogleTest executable linked against the given modules (LIBS, for example zc_binding, or
# zc_core for all of them); its tests are registered one by one.
function(zc_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  zc_set_warnings(${name})
  zc_copy_yaml_dll_beside(${name})
  set(props "")
  if(ARG_LABELS)
    set(props PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Under an emulator (Wine for the Windows build) every start is slow: one entry per program.
    add_test(NAME ${name} COMMAND ${name})
    if(ARG_LABELS)
      set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
    # Wine's exit status after a crash is not reliable (it is sometimes 0 once its debugger has
    # printed the report), so its crash report fails the test whatever the status.
    set_tests_properties(${name} PROPERTIES
      FAIL_REGULAR_EXPRESSION "wine: Unhandled;wine client error:")
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${props})
  if("threads" IN_LIST ARG_LABELS)
    # The ThreadSanitizer build compiles only these (target zc_threaded_tests).
    set_property(GLOBAL APPEND PROPERTY ZC_THREADED_TESTS ${name})
  endif()
  endif()
endfunction()
