# Tests of the PCM reader and the decoding input.
tolvane_add_test(ReaderTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/ReaderTest.cpp LIBS tolvane_audio Qt6::Core)
tolvane_add_test(ReaderThreadTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/ReaderThreadTest.cpp LIBS tolvane_audio THREADED)
tolvane_add_test(DX9InputTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/DX9InputTest.cpp LIBS tolvane_audio Qt6::Core)
add_library(tolvane_decoding_conversion STATIC ${CMAKE_CURRENT_LIST_DIR}/DecodingConversion.cpp
                                               ${CMAKE_CURRENT_LIST_DIR}/DecodingConversion.h)
target_link_libraries(tolvane_decoding_conversion PUBLIC tolvane_convert)
target_include_directories(tolvane_decoding_conversion PUBLIC ${PROJECT_SOURCE_DIR})
set_target_properties(tolvane_decoding_conversion PROPERTIES AUTOMOC OFF)
tolvane_add_test(DecodingEndToEndTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/DecodingEndToEndTest.cpp
                 LIBS tolvane_decoding_conversion Qt6::Core THREADED)
tolvane_add_test(DecodingDamagedTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/DecodingDamagedTest.cpp
                 LIBS tolvane_decoding_conversion Qt6::Core THREADED TIMEOUT 10)
tolvane_add_test(DecodingHardeningTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/DecodingHardeningTest.cpp
                 ${PROJECT_SOURCE_DIR}/tests/probe/MediaEditing.cpp
                 LIBS tolvane_decoding_conversion Qt6::Core THREADED TIMEOUT 120)
tolvane_add_test(NonRegularFilesTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/NonRegularFilesTest.cpp
                 LIBS tolvane_audio Qt6::Core THREADED TIMEOUT 60)
# Multi-rate RealMedia: generated files and the real samples, converted whole from their best stream.
tolvane_add_test(MultiRateConversionTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/MultiRateConversionTest.cpp
                 LIBS tolvane_decoding_conversion Qt6::Core THREADED TIMEOUT 600)
# Hundreds of damaged multi-rate files through the probe and the reader (the watchdog is its only thread).
tolvane_add_test(MultiRateDamagedTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/MultiRateDamagedTest.cpp
                 ${PROJECT_SOURCE_DIR}/tests/probe/MediaEditing.cpp
                 LIBS tolvane_audio Qt6::Core TIMEOUT 900)
# A tone at every source rate through the input's resampler and the MP3 sink, one encoder and segments.
tolvane_add_test(ResampledToneTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/ResampledToneTest.cpp
                 LIBS tolvane_framework_testsupport THREADED TIMEOUT 300)
