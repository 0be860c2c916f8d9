# Cross-build for 64-bit Windows with the mingw-w64 compiler (Debian g++-mingw-w64-x86-64).
#
#   cmake -S . -B build-mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
#
# The desktop program is then KV58.exe with the Win32 front end (app/win32), which needs
# nothing beyond the system's libraries; the Qt front end is not cross-built.
#
# The "-posix" variant of the compiler is used: the default "-win32" thread model has no
# std::thread or std::mutex. Programs are linked statically (see Kv58Helpers.cmake), so a
# built .exe needs no DLL of the compiler beside it. Where Wine is installed, CTest runs the
# test programs through it (scripts/cross-test sets up a fresh Wine prefix for that).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KV58_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KV58_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KV58_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KV58_MINGW_TRIPLET}-windres)

# Libraries and headers come from the mingw sysroot only; programs run at build time
# (code generators) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KV58_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 7 and later: the serial and file calls used here all exist there.
add_compile_definitions(_WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)

if(EXISTS /usr/lib/wine/wine64)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
endif()
