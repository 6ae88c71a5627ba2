# Same-version check of a generated program folder, run by hand:
#   build/bench/bench_updater_finger [files] [bytes per file] [work folder]
add_executable(bench_updater_finger ${CMAKE_CURRENT_SOURCE_DIR}/updater_finger/FingerCheckBench.cpp)
target_link_libraries(bench_updater_finger PRIVATE corvane_updater_app updatefixture bench_support)
target_compile_definitions(bench_updater_finger PRIVATE
  UPDATEFIXTURE_COMMAND="$<TARGET_FILE:updatefixture_command>"
  UPDATEFIXTURE_CLIENT="$<TARGET_FILE:updatefixture_client>")
set_target_properties(bench_updater_finger PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
