# A stand-in PawnIOLib.dll for tests/win/pawnio_win_test.cpp, built next to the
# test executable. The test executable carries the same module resources as the
# product; the stand-in library carries the placeholder modules, so a test can
# name a module that holds them whatever the build embeds.
add_library(fake_pawnio SHARED ${CMAKE_SOURCE_DIR}/tests/win/helpers/fake_pawnio.cpp ${KALORIX_PAWNIO_PLACEHOLDER_RC})
set_target_properties(fake_pawnio PROPERTIES
    PREFIX ""
    OUTPUT_NAME PawnIOLib
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_compile_definitions(fake_pawnio PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0A00 WINVER=0x0A00)
target_link_options(fake_pawnio PRIVATE -static -static-libgcc -static-libstdc++)
add_dependencies(kalorix_win_tests fake_pawnio)
target_sources(kalorix_win_tests PRIVATE ${KALORIX_PAWNIO_RC})
