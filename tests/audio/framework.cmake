# Tests of the audio framework, the LAME binding and the MP3 sink.
set(framework_dir ${CMAKE_CURRENT_LIST_DIR})
add_library(tolvane_framework_testsupport STATIC
  ${framework_dir}/FrameworkTestSources.h ${framework_dir}/FrameworkTestSources.cpp
  ${framework_dir}/Mp3FrameReader.h ${framework_dir}/Mp3FrameReader.cpp ${framework_dir}/MP3OutTestRun.h
  ${framework_dir}/SegmentedRun.h ${framework_dir}/SegmentedRun.cpp)
target_link_libraries(tolvane_framework_testsupport PUBLIC tolvane_audio tolvane_testsupport)
target_include_directories(tolvane_framework_testsupport PUBLIC ${PROJECT_SOURCE_DIR})
set_target_properties(tolvane_framework_testsupport PROPERTIES AUTOMOC OFF)

tolvane_add_test(test_audio_framework THREADED
  SOURCES ${framework_dir}/FrameworkTest.cpp
  LIBS tolvane_framework_testsupport)
tolvane_add_test(test_audio_mp3segments THREADED TIMEOUT 300
  SOURCES ${framework_dir}/MP3OutSegmentTest.cpp ${framework_dir}/MP3OutSegmentRunTest.cpp
  LIBS tolvane_framework_testsupport)
tolvane_add_test(test_audio_mp3assembly
  SOURCES ${framework_dir}/Mp3AssemblyTest.cpp
  LIBS tolvane_framework_testsupport)
tolvane_add_test(test_audio_lame
  SOURCES ${framework_dir}/LameBindingTest.cpp
  LIBS tolvane_framework_testsupport)
tolvane_add_test(test_audio_mp3out THREADED TIMEOUT 300
  SOURCES ${framework_dir}/MP3OutTest.cpp ${framework_dir}/MP3OutTagTest.cpp
          ${framework_dir}/MP3OutFailureTest.cpp
  LIBS tolvane_framework_testsupport)
