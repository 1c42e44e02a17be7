# The one list of the plugin's exports (src/plugin/export_list.h, one "  X(name)" a line),
# read once for the build: the Windows library's .def file, the Linux library's version
# script, and <build folder>/plugin_exports.txt, a name a line, for the scripts that check a
# built library.
file(READ ${PROJECT_SOURCE_DIR}/src/plugin/export_list.h qb_export_list_text)
string(REGEX MATCHALL "\n  X\\(Fs[A-Za-z]+\\)" qb_export_lines "${qb_export_list_text}")
set(QB_PLUGIN_EXPORTS "")
foreach(line ${qb_export_lines})
  string(REGEX REPLACE "^\n  X\\((Fs[A-Za-z]+)\\)$" "\\1" name "${line}")
  list(APPEND QB_PLUGIN_EXPORTS ${name})
endforeach()
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/src/plugin/export_list.h)
list(JOIN QB_PLUGIN_EXPORTS "\n" qb_export_names)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/plugin_exports.txt CONTENT "${qb_export_names}\n")
