# Helpers shared by every directory's CMakeLists.txt.

function(zc_set_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra)
  endif()
endfunction()

# zc_add_test(<name> SOURCES <files...> [LIBS <libs...>] [LABELS <labels...>])
# A GoogleTest executable linked against zc_core; its tests are registered one by one.
function(zc_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE zc_core GTest::gtest GTest::gmock GTest::gtest_main ${ARG_LIBS})
  zc_set_warnings(${name})
  set(props "")
  if(ARG_LABELS)
    set(props PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${props})
endfunction()
