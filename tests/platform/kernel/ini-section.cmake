# The section reader's pinned input lives beside the tests.
target_compile_definitions(platform_kernel_tests PRIVATE KERNEL_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
