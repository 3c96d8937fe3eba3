# fmt and CLI11 for the Windows build, header-only from Debian's libfmt-dev and libcli11-dev: the
# headers are the same for every target, but Debian's package files point at Linux libraries and
# the toolchain keeps find_package() inside the MinGW tree. This writes a small package file for
# each into the build folder, so that the usual find_package(fmt) and find_package(CLI11) give
# fmt::fmt and CLI11::CLI11 here too. Only the two libraries' own header folders are made visible,
# never the rest of /usr/include.

set(_tolvren_header_root ${CMAKE_BINARY_DIR}/header-only)
foreach(entry "fmt;fmt;fmt::fmt;FMT_HEADER_ONLY=1" "CLI11;CLI;CLI11::CLI11;")
  list(GET entry 0 package)
  list(GET entry 1 folder)
  list(GET entry 2 target)
  list(GET entry 3 definition)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: scripts/setup.sh installs it")
  endif()
  file(MAKE_DIRECTORY ${_tolvren_header_root}/${package}/include)
  file(CREATE_LINK /usr/include/${folder} ${_tolvren_header_root}/${package}/include/${folder}
    SYMBOLIC)
  string(TOLOWER ${package} config_name)
  file(CONFIGURE OUTPUT ${_tolvren_header_root}/${package}/${config_name}-config.cmake CONTENT [[
if(NOT TARGET @target@)
  add_library(@target@ INTERFACE IMPORTED)
  set_target_properties(@target@ PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${CMAKE_CURRENT_LIST_DIR}/include"
    INTERFACE_COMPILE_DEFINITIONS "@definition@")
endif()
]] @ONLY)
  set(${package}_DIR ${_tolvren_header_root}/${package} CACHE PATH
    "${package} as a header-only library" FORCE)
endforeach()
