# add_skin_archive(<target> OUTPUT <zip> FOLDERS <folder>... [DEPENDS <files>...]):
# packs the folders into one reproducible zip whenever one of their files
# changes (tools/skin/pack_skin.py).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(add_skin_archive target)
  cmake_parse_arguments(ARG "" "OUTPUT" "FOLDERS;DEPENDS" ${ARGN})
  set(inputs)
  foreach(folder IN LISTS ARG_FOLDERS)
    file(GLOB_RECURSE folder_files CONFIGURE_DEPENDS "${folder}/*")
    list(APPEND inputs ${folder_files})
  endforeach()
  add_custom_command(OUTPUT "${ARG_OUTPUT}"
    COMMAND Python3::Interpreter "${PROJECT_SOURCE_DIR}/tools/skin/pack_skin.py" "${ARG_OUTPUT}" ${ARG_FOLDERS}
    DEPENDS "${PROJECT_SOURCE_DIR}/tools/skin/pack_skin.py" ${inputs} ${ARG_DEPENDS}
    COMMENT "Packing ${ARG_OUTPUT}")
  add_custom_target(${target} ALL DEPENDS "${ARG_OUTPUT}")
endfunction()

# add_rendered_skin(<target> SOURCE <skin folder> OUTPUT <zip>): renders the
# skin's sources (colours filled in, drawings to PNG at 1x and 2x, the icon;
# tools/skin/render_skin.py) into <build>/skin/rendered and packs that folder.
function(add_rendered_skin target)
  cmake_parse_arguments(ARG "" "SOURCE;OUTPUT" "" ${ARGN})
  find_program(RSVG_CONVERT rsvg-convert)
  if(NOT RSVG_CONVERT)
    message(FATAL_ERROR "rsvg-convert is missing (Debian package librsvg2-bin; scripts/setup.sh installs it)")
  endif()
  set(rendered "${CMAKE_BINARY_DIR}/skin/rendered")
  set(stamp "${CMAKE_BINARY_DIR}/skin/rendered.stamp")
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${ARG_SOURCE}/*")
  add_custom_command(OUTPUT "${stamp}"
    COMMAND Python3::Interpreter "${PROJECT_SOURCE_DIR}/tools/skin/render_skin.py" "${ARG_SOURCE}" "${rendered}"
    COMMAND ${CMAKE_COMMAND} -E touch "${stamp}"
    DEPENDS "${PROJECT_SOURCE_DIR}/tools/skin/render_skin.py" ${sources}
    COMMENT "Rendering the skin")
  # The rendered folder is remade whole by the step above, so the stamp, not
  # a listing of its files, says when to pack again.
  add_custom_command(OUTPUT "${ARG_OUTPUT}"
    COMMAND Python3::Interpreter "${PROJECT_SOURCE_DIR}/tools/skin/pack_skin.py" "${ARG_OUTPUT}" "${rendered}"
    DEPENDS "${PROJECT_SOURCE_DIR}/tools/skin/pack_skin.py" "${stamp}"
    COMMENT "Packing ${ARG_OUTPUT}")
  add_custom_target(${target} ALL DEPENDS "${ARG_OUTPUT}")
endfunction()
