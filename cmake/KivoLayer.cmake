# kivo_layer(NAME DEPS ...): one static library per source folder, built from the folder's
# *.cpp files and linked to the layers below it. Includes point down only.
function(kivo_layer name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(kivo_${name} STATIC ${sources})
    target_link_libraries(kivo_${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(kivo_${name} INTERFACE)
    target_link_libraries(kivo_${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# kivo_test_folder(FOLDER LIBS ...): one GoogleTest executable per test folder, labelled with
# the folder's name so `ctest -L store` runs one layer. RESOURCE_LOCK NAME keeps the folder's
# tests from running beside other tests holding the same lock.
function(kivo_test_folder folder)
  cmake_parse_arguments(ARG "" "RESOURCE_LOCK" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(test_${folder} ${sources})
  target_link_libraries(test_${folder} PRIVATE ${ARG_LIBS} kivo_test_support GTest::gmock
                        GTest::gtest_main)
  set(lock)
  if(ARG_RESOURCE_LOCK)
    set(lock RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
  endif()
  gtest_discover_tests(test_${folder} PROPERTIES LABELS ${folder} ${lock} DISCOVERY_TIMEOUT 60)
endfunction()
