# A program may link one side's helpers, also through a library above them,
# but never both sides: CMake must refuse it before anything is built.
# Run as cmake -DHELPER_SIDE_MODULE=... -DWORK_DIR=... -P HelperSides.cmake
set(src ${WORK_DIR}/src)
set(bin ${WORK_DIR}/bin)
file(REMOVE_RECURSE ${WORK_DIR})
file(WRITE ${src}/lib.c "int helper(void) { return 0; }\n")
file(WRITE ${src}/main.c "int main(void) { return 0; }\n")
file(WRITE ${src}/CMakeLists.txt "cmake_minimum_required(VERSION 3.25)
project(helper_sides LANGUAGES C)
include(${HELPER_SIDE_MODULE})
add_library(client_helpers STATIC lib.c)
corvane_helper_side(client_helpers client)
add_library(updater_helpers STATIC lib.c)
corvane_helper_side(updater_helpers updater)
add_library(updater_logic STATIC lib.c)
target_link_libraries(updater_logic PUBLIC updater_helpers)
add_library(neutral STATIC lib.c)
add_executable(program main.c)
target_link_libraries(program PRIVATE \${PROGRAM_LINKS})
")

# links of the program | configures
set(cases
  "client_helpers,neutral|ok"
  "updater_logic,neutral|ok"
  "updater_logic,updater_helpers|ok"
  "client_helpers,updater_helpers|refused"
  "client_helpers,updater_logic|refused"
  "updater_logic,neutral,client_helpers|refused")
set(failures "")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 links)
  list(GET fields 1 expected)
  string(REPLACE "," ";" link_list "${links}")
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${src} -B ${bin} "-DPROGRAM_LINKS=${link_list}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc EQUAL 0)
    set(got ok)
  elseif(err MATCHES "INTERFACE_CORVANE_HELPER_SIDE property of \"[a-z_]+\" does[ \n]+not agree")
    set(got refused)
  else()
    set(got "failed otherwise: ${err}")
  endif()
  if(NOT got STREQUAL expected)
    string(APPEND failures "\n  ${links}: expected ${expected}, got ${got}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
if(failures)
  message(FATAL_ERROR "helper sides:${failures}")
endif()
