# Windows-only additions to a DLL or program: a version resource and separate debug symbols.

# Compiles a version resource into `target` so Explorer shows its description and version.
function(zc_add_version_resource target description)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(ZC_RC_FILETYPE VFT_APP)
    set(suffix ${CMAKE_EXECUTABLE_SUFFIX})
  else()
    set(ZC_RC_FILETYPE VFT_DLL)
    set(suffix ${CMAKE_SHARED_LIBRARY_SUFFIX})
  endif()
  get_target_property(ZC_RC_NAME ${target} OUTPUT_NAME)
  if(NOT ZC_RC_NAME)
    set(ZC_RC_NAME ${target})
  endif()
  set(ZC_RC_FILENAME "${ZC_RC_NAME}${suffix}")
  set(ZC_RC_DESCRIPTION "${description}")
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/version_resource.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
endfunction()

# Builds `target` with debug information and moves it after linking into <file>.debug beside it,
# which the stripped binary names through a debug link so a debugger finds it.
function(zc_split_debug_symbols target)
  target_compile_options(${target} PRIVATE -g)
  set(objcopy "${CMAKE_OBJCOPY}")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${objcopy}" --only-keep-debug "$<TARGET_FILE:${target}>" "$<TARGET_FILE:${target}>.debug"
    COMMAND "${objcopy}" --strip-debug "$<TARGET_FILE:${target}>"
    COMMAND "${objcopy}" "--add-gnu-debuglink=$<TARGET_FILE:${target}>.debug" "$<TARGET_FILE:${target}>"
    WORKING_DIRECTORY "$<TARGET_FILE_DIR:${target}>"
    VERBATIM)
endfunction()
