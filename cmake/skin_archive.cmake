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
