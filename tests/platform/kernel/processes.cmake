# Programs and the library the kernel tests start or load.
corvane_add_test_program(kernel_process_child SOURCES ${CMAKE_CURRENT_LIST_DIR}/ProcessChild.cpp LIBS platform_kernel)

add_library(kernel_module_probe SHARED ${CMAKE_CURRENT_LIST_DIR}/ModuleProbe.cpp)
target_link_libraries(kernel_module_probe PRIVATE platform_kernel)
# Its own copy of the kernel layer stays inside it, so the probe really asks
# from within a shared library.
target_link_options(kernel_module_probe PRIVATE -Wl,--exclude-libs,ALL)
set_target_properties(kernel_module_probe PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
corvane_add_version_record(kernel_module_probe)

# The version the record must carry; a part the project leaves out is 0.
foreach(part MAJOR MINOR PATCH TWEAK)
  set(kernel_test_version_${part} "${PROJECT_VERSION_${part}}")
  if(kernel_test_version_${part} STREQUAL "")
    set(kernel_test_version_${part} 0)
  endif()
  target_compile_definitions(platform_kernel_tests PRIVATE
    KERNEL_TEST_VERSION_${part}=${kernel_test_version_${part}})
endforeach()

target_link_libraries(platform_kernel_tests PRIVATE kernel_module_probe)
add_dependencies(platform_kernel_tests kernel_process_child)
target_compile_definitions(platform_kernel_tests PRIVATE
  KERNEL_PROCESS_CHILD="$<TARGET_FILE:kernel_process_child>"
  KERNEL_MODULE_PROBE="$<TARGET_FILE:kernel_module_probe>")
