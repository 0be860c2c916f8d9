# Build helpers shared by the library layers, the programs and the tests.

# The options are the C++ compiler's: a Windows resource script in the same target goes to the
# resource compiler without them.
add_library(kv58_options INTERFACE)
set(kv58_warnings -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
target_compile_options(kv58_options INTERFACE "$<$<COMPILE_LANGUAGE:CXX>:${kv58_warnings}>")
if(KV58_WERROR)
  target_compile_options(kv58_options INTERFACE $<$<COMPILE_LANGUAGE:CXX>:-Werror>)
endif()
# GCC 12 reports std::string concatenations ("[" + text) as overlapping copies when it
# optimises (-O2 and above): a known false positive that breaks the Release build.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(kv58_options INTERFACE $<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
endif()
if(KV58_SANITIZE)
  set(kv58_sanitize -fsanitize=address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=all)
  target_compile_options(kv58_options INTERFACE "$<$<COMPILE_LANGUAGE:CXX>:${kv58_sanitize}>")
  target_link_options(kv58_options INTERFACE -fsanitize=address,undefined)
endif()
# Programs cross-built for Windows carry the compiler's runtime inside (no DLLs to ship or to
# find under Wine). A build on Windows itself (MSYS2) links the DLLs of its environment.
if(MINGW AND CMAKE_CROSSCOMPILING)
  target_link_options(kv58_options INTERFACE -static)
endif()

# Sources that build on one kind of platform only. A file named posix_*.cpp is left out of a
# Windows build and a file named win32_*.cpp out of every other build; the files below need
# POSIX interfaces (libserialport, pseudo-terminals, BSD sockets, a POSIX shell) and have a
# Windows counterpart of their own or are not needed there. Paths are relative to the
# project's root.
set(KV58_POSIX_ONLY_SOURCES
    src/serial/port_list.cpp            # Windows: src/serial/win32_port_list.cpp
    tests/sim/pty_test.cpp              # kv58-sim's pseudo-terminal
    tests/sim/rfc2217_server_test.cpp   # kv58-sim's network server: BSD sockets only
    tests/support/program_run.cpp)      # runs the built programs through a POSIX shell

# kv58_platform_sources(VAR): removes from the list VAR the sources of other platforms.
function(kv58_platform_sources var)
  set(kept "")
  foreach(src IN LISTS ${var})
    get_filename_component(name ${src} NAME)
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${src})
    if(WIN32)
      if(name MATCHES "^posix_" OR rel IN_LIST KV58_POSIX_ONLY_SOURCES)
        continue()
      endif()
    elseif(name MATCHES "^win32_")
      continue()
    endif()
    list(APPEND kept ${src})
  endforeach()
  set(${var} ${kept} PARENT_SCOPE)
endfunction()

# kv58_layer(NAME [DEPS layer...] [LIBS external...]): one library layer from src/NAME/*.cpp.
# Layers are object libraries so that a test links exactly the layers it needs and the
# umbrella library kv58 collects them all.
function(kv58_layer name)
  cmake_parse_arguments(L "" "" "DEPS;LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  kv58_platform_sources(srcs)
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
  kv58_layer_closure(allowed ${name})
  kv58_allow_layers(src/${name} ${allowed})
endfunction()

# kv58_allow_layers(FOLDER layer...): the library layers whose headers FOLDER (relative to
# the project's root) may include; checked by kv58_add_layer_check().
function(kv58_allow_layers folder)
  list(JOIN ARGN "," allowed)
  set_property(GLOBAL APPEND PROPERTY KV58_LAYER_RULES "${folder}|${allowed}")
endfunction()

# A build step that fails when a folder includes a header of a layer it may not use (see
# cmake/Kv58LayerCheck.cmake). It runs again whenever a checked file changes.
function(kv58_add_layer_check)
  get_property(rules GLOBAL PROPERTY KV58_LAYER_RULES)
  set(manifest ${CMAKE_BINARY_DIR}/layer-rules.txt)
  list(JOIN rules "\n" text)
  file(CONFIGURE OUTPUT ${manifest} CONTENT "${text}\n" @ONLY)
  set(checked "")
  foreach(rule IN LISTS rules)
    string(REGEX REPLACE "\\|.*" "" folder "${rule}")
    file(GLOB files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp
         ${PROJECT_SOURCE_DIR}/${folder}/*.h)
    list(APPEND checked ${files})
  endforeach()
  set(stamp ${CMAKE_BINARY_DIR}/layer-check.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${manifest} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
            -DSTAMP=${stamp} -P ${PROJECT_SOURCE_DIR}/cmake/Kv58LayerCheck.cmake
    DEPENDS ${checked} ${manifest} ${PROJECT_SOURCE_DIR}/cmake/Kv58LayerCheck.cmake
    COMMENT "Checking that every folder includes only the layers it may use")
  add_custom_target(kv58_layer_check ALL DEPENDS ${stamp})
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

# kv58_program_version(): the program's version numbers, as the code states them
# (src/base/version.h), in KV58_VERSION_MAJOR, _MINOR, _PATCH and _BUILD, and as the
# window title writes them in KV58_VERSION_TEXT ("2.08.000"), for the resources and the
# Windows archive.
function(kv58_program_version)
  set(header ${PROJECT_SOURCE_DIR}/src/base/version.h)
  file(STRINGS ${header} lines REGEX "constexpr int kVersion[A-Za-z]+ = [0-9]+;")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "kVersion([A-Za-z]+) = ([0-9]+)" matched "${line}")
    string(TOUPPER "${CMAKE_MATCH_1}" part)
    set(KV58_VERSION_${part} ${CMAKE_MATCH_2})
  endforeach()
  foreach(part MAJOR MINOR PATCH BUILD)
    if(NOT DEFINED KV58_VERSION_${part})
      message(FATAL_ERROR "${header} gives no kVersion number for ${part}")
    endif()
    set(KV58_VERSION_${part} ${KV58_VERSION_${part}} PARENT_SCOPE)
  endforeach()
  kv58_zero_padded(minor ${KV58_VERSION_MINOR} 2)
  kv58_zero_padded(patch ${KV58_VERSION_PATCH} 3)
  set(KV58_VERSION_TEXT "${KV58_VERSION_MAJOR}.${minor}.${patch}" PARENT_SCOPE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
endfunction()

# kv58_zero_padded(OUT VALUE WIDTH): VALUE with leading zeros up to WIDTH digits, as "%0Nd".
function(kv58_zero_padded out value width)
  string(LENGTH "${value}" length)
  while(length LESS width)
    string(PREPEND value "0")
    math(EXPR length "${length} + 1")
  endwhile()
  set(${out} ${value} PARENT_SCOPE)
endfunction()
