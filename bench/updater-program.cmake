# The real CorvaneUpdate updating a 64 MiB folder from four throttled servers,
# beside aria2c fetching the same files from them. Run by hand:
#   build/bench/updater_program_bench [rounds] [--keep]
if(NOT TARGET real_updater OR NOT TARGET updateserver OR NOT TARGET updatefixture)
  return()
endif()
add_executable(updater_program_bench ${CMAKE_CURRENT_LIST_DIR}/updater_program/ProgramBench.cpp)
target_link_libraries(updater_program_bench PRIVATE real_updater updatefixture updateserver bench_support
  Threads::Threads)
target_compile_definitions(updater_program_bench PRIVATE
  UPDATEFIXTURE_COMMAND="$<TARGET_FILE:updatefixture_command>"
  UPDATEFIXTURE_CLIENT="$<TARGET_FILE:updatefixture_client>")
add_dependencies(updater_program_bench updatefixture_command updatefixture_client)
set_target_properties(updater_program_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
