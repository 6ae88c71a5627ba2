# Per-picture cost of the SDK's capture-to-H.264 path beside its baselines.
# Run by hand: build/bench/encode_bench (not a test; it prints a table).
add_executable(encode_bench ${CMAKE_CURRENT_LIST_DIR}/encode/EncodeBench.cpp)
target_link_libraries(encode_bench PRIVATE corvane_sdk_static bench_support)
set_target_properties(encode_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
