# The Windows test executable carries the image resources too, so the drawing
# toolkit's tests decode the same PNGs kalorix.exe does.
target_sources(kalorix_win_tests PRIVATE ${CMAKE_SOURCE_DIR}/ui/resources.rc)
