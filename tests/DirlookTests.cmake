# Every tests/<dir>/<folder>/<Name>Test.cpp becomes one test program, run whole by
# CTest (so a server test program starts its directory server once).
# <Name>ServerTest.cpp is labelled "server" and gets the test directory
# server; everything else is labelled "unit". A program whose name holds
# "Background" (<Name>BackgroundServerTest.cpp, BackgroundStateTest.cpp) is
# also labelled "threaded" and runs under ThreadSanitizer.
function(dirlook_add_tests dir library)
  file(GLOB_RECURSE test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*Test.cpp)
  foreach(source ${test_sources})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE ${library} dirlook_test_support GTest::gtest GTest::gmock)
    if(name MATCHES "ServerTest$")
      target_link_libraries(${name} PRIVATE dirlook_server_test_main)
      add_test(NAME ${name} COMMAND ${name})
      if(name MATCHES "BackgroundServerTest$")
        set_tests_properties(${name} PROPERTIES LABELS "server;threaded" TIMEOUT 600)
      else()
        set_tests_properties(${name} PROPERTIES LABELS server TIMEOUT 600)
      endif()
    else()
      target_link_libraries(${name} PRIVATE GTest::gtest_main)
      add_test(NAME ${name} COMMAND ${name})
      if(name MATCHES "Background")
        set_tests_properties(${name} PROPERTIES LABELS "unit;threaded" TIMEOUT 300)
      else()
        set_tests_properties(${name} PROPERTIES LABELS unit TIMEOUT 300)
      endif()
    endif()
  endforeach()
endfunction()
