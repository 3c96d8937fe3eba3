# The Windows build's packaging: a version resource in every program, and the `installer` target,
# which makes Tolvren-VERSION-setup.exe and Tolvren-VERSION-portable.zip in the build folder from
# the programs that the build makes (packaging/windows/make-installer.sh does the work).
#   cmake --build --preset windows --target installer
# Signing is off unless TOLVREN_SIGN_PKCS12 is set in the environment (packaging/windows/sign.sh).

enable_language(RC)
set(_tolvren_packaging_dir ${CMAKE_CURRENT_LIST_DIR}/../packaging/windows)
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../LICENSE TOLVREN_RC_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)

# tolvren_add_version_resource(TARGET DESCRIPTION): compiles a VERSIONINFO resource of the
# project's version into TARGET, with DESCRIPTION as its file description.
function(tolvren_add_version_resource target description)
  set(TOLVREN_RC_NAME ${target})
  set(TOLVREN_RC_DESCRIPTION "${description}")
  string(REPLACE "." "," TOLVREN_RC_VERSION "${PROJECT_VERSION}.0")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
  configure_file(${_tolvren_packaging_dir}/VersionInfo.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# tolvren_add_installer(): the `installer` target, packaging whichever of tolvren-cli and tolvren
# (the dialog) exist as targets. Call it after they are defined.
function(tolvren_add_installer)
  set(programs)
  foreach(program tolvren-cli tolvren)
    if(TARGET ${program})
      list(APPEND programs ${program})
    endif()
  endforeach()
  if(NOT programs)
    message(STATUS "No Windows program is built yet: no installer target")
    return()
  endif()
  set(stage ${CMAKE_BINARY_DIR}/installer/programs)
  set(copies)
  foreach(program ${programs})
    list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${program}> ${stage})
  endforeach()
  add_custom_target(installer
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
    ${copies}
    COMMAND ${_tolvren_packaging_dir}/make-installer.sh --version ${PROJECT_VERSION}
      --programs ${stage} --output ${CMAKE_BINARY_DIR}
    DEPENDS ${programs}
    COMMENT "Making Tolvren-${PROJECT_VERSION}-setup.exe and Tolvren-${PROJECT_VERSION}-portable.zip"
    VERBATIM)
endfunction()
