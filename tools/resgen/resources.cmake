# The stub's compressed messages and dialog templates, generated from
# base/messages.py (with the control ids of ui/controls.h) into a C++ file of
# the build tree. Included by both the host and the cross build (the generator
# is Python, so it needs no host compiler in the cross build); adds the file
# to ARCULA_RESOURCE_SOURCES.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(ARCULA_RESOURCE_SOURCES "${CMAKE_BINARY_DIR}/generated/resource_data.cpp")
add_custom_command(
  OUTPUT "${ARCULA_RESOURCE_SOURCES}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/generated"
  COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/tools/resgen/resgen.py"
          --source "${CMAKE_SOURCE_DIR}/base/messages.py" --controls "${CMAKE_SOURCE_DIR}/ui/controls.h"
          --output "${ARCULA_RESOURCE_SOURCES}"
  DEPENDS "${CMAKE_SOURCE_DIR}/tools/resgen/resgen.py" "${CMAKE_SOURCE_DIR}/tools/resgen/controls_header.py"
          "${CMAKE_SOURCE_DIR}/base/messages.py" "${CMAKE_SOURCE_DIR}/ui/controls.h"
  COMMENT "Compressing the stub's messages and dialog templates"
  VERBATIM)
