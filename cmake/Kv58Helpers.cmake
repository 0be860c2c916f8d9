# Build helpers shared by the library layers, the programs and the tests.

add_library(kv58_options INTERFACE)
target_compile_options(kv58_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                       -Wno-sign-conversion)
if(KV58_WERROR)
  target_compile_options(kv58_options INTERFACE -Werror)
endif()
# GCC 12 reports std::string concatenations ("[" + text) as overlapping copies when it
# optimises (-O2 and above): a known false positive that breaks the Release build.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(kv58_options INTERFACE -Wno-restrict)
endif()
if(KV58_SANITIZE)
  target_compile_options(kv58_options INTERFACE -fsanitize=address,undefined
                         -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(kv58_options INTERFACE -fsanitize=address,undefined)
endif()
if(MINGW)
  target_link_options(kv58_options INTERFACE -static)
endif()

# kv58_layer(NAME [DEPS layer...] [LIBS external...]): one library layer from src/NAME/*.cpp.
# Layers are object libraries so that a test links exactly the layers it needs and the
# umbrella library kv58 collects them all.
function(kv58_layer name)
  cmake_parse_arguments(L "" "" "DEPS;LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  if(srcs)
    add_library(kv58_${name} OBJECT ${srcs})
    target_include_directories(kv58_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(kv58_${name} PUBLIC kv58_options ${L_LIBS})
  else()
    add_library(kv58_${name} INTERFACE)
    target_include_directories(kv58_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(kv58_${name} INTERFACE ${L_LIBS})
  endif()
  set_property(GLOBAL PROPERTY KV58_DEPS_${name} "${L_DEPS}")
  set_property(GLOBAL APPEND PROPERTY KV58_LAYERS ${name})
endfunction()

# The layer and every layer below it, each once.
function(kv58_layer_closure out)
  set(result "")
  set(todo ${ARGN})
  while(todo)
    list(POP_FRONT todo layer)
    if(NOT layer IN_LIST result)
      list(APPEND result ${layer})
      get_property(deps GLOBAL PROPERTY KV58_DEPS_${layer})
      list(APPEND todo ${deps})
    endif()
  endwhile()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# kv58_link_layers(TARGET layer...): link a program or test with these layers and those below.
function(kv58_link_layers target)
  kv58_layer_closure(layers ${ARGN})
  foreach(layer IN LISTS layers)
    target_link_libraries(${target} PRIVATE kv58_${layer})
  endforeach()
  target_link_libraries(${target} PRIVATE kv58_options)
endfunction()
