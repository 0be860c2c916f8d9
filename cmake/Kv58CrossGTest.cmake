# GoogleTest and GoogleMock for a cross-build, compiled from Debian's source package
# (googletest, in /usr/src/googletest) with the project's compiler, under the names that
# find_package(GTest) gives a native build.
set(KV58_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross-builds")
if(NOT EXISTS ${KV58_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${KV58_GTEST_SOURCE_DIR} "
                      "(Debian package googletest); set KV58_GTEST_SOURCE_DIR")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${KV58_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(lib gtest gtest_main gmock gmock_main)
  # Third-party code: the project's warning flags do not apply to it.
  set_target_properties(${lib} PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
  if(NOT TARGET GTest::${lib})  # GoogleTest 1.11 and later name them so themselves
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()
