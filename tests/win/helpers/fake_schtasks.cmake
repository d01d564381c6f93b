# A stand-in schtasks.exe for tests/win/autostart_win_test.cpp, in build/win/fakebin.
# The test makes that folder the current directory, which CreateProcessW searches
# before the system folder.
add_executable(fake_schtasks ${CMAKE_SOURCE_DIR}/tests/win/helpers/fake_schtasks.cpp)
set_target_properties(fake_schtasks PROPERTIES
    OUTPUT_NAME schtasks
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fakebin)
target_compile_definitions(fake_schtasks PRIVATE UNICODE _UNICODE)
target_link_options(fake_schtasks PRIVATE -static -static-libgcc -static-libstdc++ -municode)
add_dependencies(kalorix_win_tests fake_schtasks)
