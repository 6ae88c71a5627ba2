# The peer process the named-object tests start: it holds objects by name
# until its stdin closes, or until the test kills it.
corvane_add_test_program(named_object_peer SOURCES ${CMAKE_CURRENT_LIST_DIR}/NamedObjectPeer.cpp LIBS platform_kernel)
add_dependencies(platform_kernel_tests named_object_peer)
