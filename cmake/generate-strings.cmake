# cmake -DSOURCE=resources/strings.json -DOUT_DIR=<dir> -P generate-strings.cmake
# Writes, from the one list of user texts:
#   mireo_strings.h    IDS_<name> (its number) and TXT_<name> (its text as a resource
#                      string literal), for mireo.rc's dialogs and for code that names
#                      a string by number;
#   mireo_strings.rc   the STRINGTABLE of the add-in module;
#   mireo_strings.inc  the table of the portable code ({number, "text"}, C++ escapes).
# A file is only rewritten when its text changes, so nothing rebuilds for nothing.
cmake_minimum_required(VERSION 3.25)
file(READ "${SOURCE}" json)
string(JSON count LENGTH "${json}" strings)
math(EXPR last "${count} - 1")

set(h "// Generated from resources/strings.json by cmake/generate-strings.cmake. Do not edit.\n#pragma once\n")
set(rc "// Generated from resources/strings.json by cmake/generate-strings.cmake. Do not edit.\n#pragma code_page(65001)\nSTRINGTABLE\nBEGIN\n")
set(inc "// Generated from resources/strings.json by cmake/generate-strings.cmake. Do not edit.\n")
set(seen_ids "")
set(seen_names "")
foreach(i RANGE ${last})
  string(JSON id GET "${json}" strings ${i} id)
  string(JSON name GET "${json}" strings ${i} name)
  string(JSON text GET "${json}" strings ${i} text)
  if(id IN_LIST seen_ids)
    message(FATAL_ERROR "strings.json: number ${id} twice")
  endif()
  if(name IN_LIST seen_names)
    message(FATAL_ERROR "strings.json: name ${name} twice")
  endif()
  if(NOT name MATCHES "^[A-Z][A-Z0-9_]*$")
    message(FATAL_ERROR "strings.json: name \"${name}\" is not an upper-case identifier")
  endif()
  list(APPEND seen_ids ${id})
  list(APPEND seen_names ${name})

  # C++: backslash, double quote and line feed escaped as in C.
  string(REPLACE "\\" "\\\\" c "${text}")
  string(REPLACE "\"" "\\\"" c "${c}")
  string(REPLACE "\n" "\\n" c "${c}")
  # Resource scripts: the same, except that a double quote is written twice.
  string(REPLACE "\\" "\\\\" r "${text}")
  string(REPLACE "\"" "\"\"" r "${r}")
  string(REPLACE "\n" "\\n" r "${r}")

  string(APPEND h "#define IDS_${name} ${id}\n#define TXT_${name} \"${r}\"\n")
  string(APPEND rc "  ${id}, \"${r}\"\n")
  string(APPEND inc "{${id}, \"${c}\"},\n")
endforeach()
string(APPEND rc "END\n")

function(write_if_changed path content)
  if(EXISTS "${path}")
    file(READ "${path}" old)
    if(old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE "${path}" "${content}")
endfunction()
file(MAKE_DIRECTORY "${OUT_DIR}")
write_if_changed("${OUT_DIR}/mireo_strings.h" "${h}")
write_if_changed("${OUT_DIR}/mireo_strings.rc" "${rc}")
write_if_changed("${OUT_DIR}/mireo_strings.inc" "${inc}")
