# The updater's check value and container reader beside their command-line
# counterparts. Run by hand: build/bench/updater_files_bench [MiB] (not a test).
add_executable(updater_files_bench ${CMAKE_CURRENT_LIST_DIR}/updater_files/UpdaterFilesBench.cpp)
target_link_libraries(updater_files_bench PRIVATE corvane_updater_engine bench_support zf7z_writer)
set_target_properties(updater_files_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
