# Tests of the PCM reader and the decoding input.
tolvane_add_test(ReaderTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/ReaderTest.cpp LIBS tolvane_audio)
tolvane_add_test(ReaderThreadTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/ReaderThreadTest.cpp LIBS tolvane_audio THREADED)
tolvane_add_test(DX9InputTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/DX9InputTest.cpp LIBS tolvane_audio Qt6::Core)
