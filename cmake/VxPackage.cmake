# Packing payload folders into installation packages with the vxpack tool,
# and embedding a package in a Windows program's resources.
#
# The host build uses its own vxpack target; the Windows builds use the host
# tool given as VXPACK_EXECUTABLE (scripts/build passes it).

# Sets <cmd_var> to the vxpack command and <dep_var> to what a custom command
# must depend on so it reruns when the tool changes.
function(vx_vxpack_command cmd_var dep_var)
  if(VX_WINDOWS)
    if(NOT VXPACK_EXECUTABLE)
      message(FATAL_ERROR "VXPACK_EXECUTABLE is not set: build the host first (scripts/build)")
    endif()
    set(${cmd_var} ${VXPACK_EXECUTABLE} PARENT_SCOPE)
    set(${dep_var} ${VXPACK_EXECUTABLE} PARENT_SCOPE)
  else()
    set(${cmd_var} $<TARGET_FILE:vxpack> PARENT_SCOPE)
    set(${dep_var} vxpack PARENT_SCOPE)
  endif()
endfunction()

# vx_package_digest(<package-file>)
#   Adds the rule that writes <package-file>.sha256, the package's SHA-256 in
#   hex, which a setup carries beside its package (VXPACKSHA256 RCDATA) to
#   find a damaged package before it installs anything.
function(vx_package_digest package)
  add_custom_command(OUTPUT ${package}.sha256
      COMMAND ${CMAKE_COMMAND} -DPACKAGE=${package} -DDIGEST=${package}.sha256
              -P ${PROJECT_SOURCE_DIR}/cmake/write-digest.cmake
      DEPENDS ${package} ${PROJECT_SOURCE_DIR}/cmake/write-digest.cmake
      VERBATIM)
endfunction()

# vx_embed_package(<target> <rc-file> <package-file> [DEPENDS <target-or-file>...])
#   Lets <rc-file> of <target> name the package, and its digest
#   (<package-file>.sha256, see vx_package_digest), by their bare file names
#   (NAME RCDATA "<file name>"): adds the package's folder to the target's
#   include folders (windres looks for resource files there) and recompiles
#   the .rc whenever the package changes.
function(vx_embed_package target rc package)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  get_filename_component(rc ${rc} ABSOLUTE)
  get_filename_component(folder ${package} DIRECTORY)
  target_include_directories(${target} PRIVATE ${folder})
  set_property(SOURCE ${rc} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS ${package}
      ${package}.sha256)
  foreach(dependency IN LISTS ARG_DEPENDS)
    if(TARGET ${dependency})
      add_dependencies(${target} ${dependency})
    endif()
  endforeach()
endfunction()

# vx_make_test_package(<out.pck> <folder> [MANIFEST <file>] [ID <identifier>]
#                      [TARGET <target> [RC <rc-file>]])
#   Packs a small folder (relative paths: to the current source folder; the
#   output relative to the current binary folder). Item order: the manifest's,
#   else the folder's own files, then its subfolders breadth first, names in
#   byte order; file dates are the files' last-write times. With TARGET the
#   package is built before the target, its folder is added to the target's
#   include folders, and RC (the target's resource script that names the
#   package by its bare file name) is recompiled when the package changes.
#   Call it in the folder that defines TARGET.
function(vx_make_test_package out folder)
  cmake_parse_arguments(ARG "" "MANIFEST;ID;TARGET;RC" "" ${ARGN})
  get_filename_component(out ${out} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_BINARY_DIR})
  get_filename_component(folder ${folder} ABSOLUTE)
  file(GLOB_RECURSE inputs CONFIGURE_DEPENDS ${folder}/*)
  set(args build ${folder} ${out})
  if(ARG_MANIFEST)
    get_filename_component(ARG_MANIFEST ${ARG_MANIFEST} ABSOLUTE)
    list(APPEND args --manifest ${ARG_MANIFEST})
    list(APPEND inputs ${ARG_MANIFEST})
  endif()
  if(ARG_ID)
    list(APPEND args --id ${ARG_ID})
  endif()
  vx_vxpack_command(vxpack_cmd vxpack_dep)
  get_filename_component(out_name ${out} NAME)
  add_custom_command(OUTPUT ${out}
      COMMAND ${vxpack_cmd} ${args}
      DEPENDS ${inputs} ${vxpack_dep}
      COMMENT "Packing ${out_name}"
      VERBATIM)
  vx_package_digest(${out})
  if(ARG_TARGET)
    target_sources(${ARG_TARGET} PRIVATE ${out} ${out}.sha256)
    if(ARG_RC)
      vx_embed_package(${ARG_TARGET} ${ARG_RC} ${out})
    else()
      get_filename_component(out_folder ${out} DIRECTORY)
      target_include_directories(${ARG_TARGET} PRIVATE ${out_folder})
    endif()
  endif()
endfunction()
