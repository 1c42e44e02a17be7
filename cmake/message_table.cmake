# Message tables (.mc files) compiled with windmc for the Windows builds.
#
#   qb_message_table(<name> <file.mc> <out dir variable>)
#       windmc's resource script <name>.rc, header <name>.h and MSG00409.bin in a folder of
#       their own, whose path goes into <out dir variable>; a target qb_<name>_mc makes them.
#   qb_message_library(<target> <file.mc> [OUTPUT_NAME <name>])
#       a library of the message table and nothing else: no code, no entry point, no imports,
#       so that loading it runs nothing.

# windmc keeps the line ends of its input, and message texts must end with CR LF: it gets a
# CR LF copy of the file.
function(qb_message_table name source outVar)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${name}_mc)
  configure_file(${source} ${out}/${name}.mc @ONLY NEWLINE_STYLE CRLF)
  add_custom_command(
    OUTPUT ${out}/${name}.rc ${out}/${name}.h ${out}/MSG00409.bin
    COMMAND ${QB_WINDMC} --ascii_out -h ${out} -r ${out} ${out}/${name}.mc
    DEPENDS ${out}/${name}.mc
    COMMENT "Compiling the message table ${name}.mc"
    VERBATIM)
  add_custom_target(qb_${name}_mc DEPENDS ${out}/${name}.rc ${out}/MSG00409.bin)
  set_source_files_properties(${out}/${name}.rc PROPERTIES
    GENERATED TRUE
    OBJECT_DEPENDS ${out}/MSG00409.bin)
  set(${outVar} ${out} PARENT_SCOPE)
endfunction()

function(qb_message_library target source)
  cmake_parse_arguments(arg "" "OUTPUT_NAME" "" ${ARGN})
  get_filename_component(name ${source} NAME_WE)
  qb_message_table(${name} ${source} out)
  # A module: nothing links against it, so no import library either.
  add_library(${target} MODULE ${out}/${name}.rc)
  add_dependencies(${target} qb_${name}_mc)
  # The resource script names MSG00409.bin without a folder.
  target_include_directories(${target} PRIVATE ${out})
  if(NOT arg_OUTPUT_NAME)
    set(arg_OUTPUT_NAME ${name})
  endif()
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    OUTPUT_NAME ${arg_OUTPUT_NAME}
    LINKER_LANGUAGE C)
  # No libraries, no start files, entry point 0.
  target_link_options(${target} PRIVATE -nostdlib -nostartfiles -Wl,-e,0 -s)
  # The caller's folder links C with no standard libraries (its C targets are these only).
  set(CMAKE_C_STANDARD_LIBRARIES "" PARENT_SCOPE)
endfunction()
