# Cross build for 64-bit Windows with mingw-w64 (posix thread model), linked
# fully static so that the programs need no DLLs beside them.
#
#   cmake --preset mingw && cmake --build --preset mingw --target pcinfo-cli
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PCINFO_MINGW_TRIPLET x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${PCINFO_MINGW_TRIPLET}-gcc-posix ${PCINFO_MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${PCINFO_MINGW_TRIPLET}-g++-posix ${PCINFO_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${PCINFO_MINGW_TRIPLET}-windres windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PCINFO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# nlohmann_json is header-only, so the build machine's copy serves the target.
# Its own package file would put all of /usr/include on the include path,
# whose C headers clash with the target's; instead a package in the build tree
# exposes /usr/include/nlohmann alone (through a link) to the cross compiler.
set(PCINFO_HOST_NLOHMANN /usr/include/nlohmann CACHE PATH "nlohmann json headers of the build machine")
if(EXISTS ${PCINFO_HOST_NLOHMANN}/json.hpp AND NOT EXISTS /usr/${PCINFO_MINGW_TRIPLET}/include/nlohmann/json.hpp)
  set(_pcinfo_pkg ${CMAKE_BINARY_DIR}/host-packages)
  if(NOT EXISTS ${_pcinfo_pkg}/include/nlohmann)
    file(MAKE_DIRECTORY ${_pcinfo_pkg}/include)
    file(CREATE_LINK ${PCINFO_HOST_NLOHMANN} ${_pcinfo_pkg}/include/nlohmann SYMBOLIC)
  endif()
  # The version macros: detail/abi_macros.hpp from 3.11 on, json.hpp before.
  if(EXISTS ${PCINFO_HOST_NLOHMANN}/detail/abi_macros.hpp)
    file(READ ${PCINFO_HOST_NLOHMANN}/detail/abi_macros.hpp _pcinfo_abi)
  else()
    file(READ ${PCINFO_HOST_NLOHMANN}/json.hpp _pcinfo_abi)
  endif()
  string(REGEX MATCH "NLOHMANN_JSON_VERSION_MAJOR ([0-9]+)" _ ${_pcinfo_abi})
  set(_pcinfo_major ${CMAKE_MATCH_1})
  string(REGEX MATCH "NLOHMANN_JSON_VERSION_MINOR ([0-9]+)" _ ${_pcinfo_abi})
  set(_pcinfo_minor ${CMAKE_MATCH_1})
  string(REGEX MATCH "NLOHMANN_JSON_VERSION_PATCH ([0-9]+)" _ ${_pcinfo_abi})
  set(_pcinfo_patch ${CMAKE_MATCH_1})
  file(WRITE ${_pcinfo_pkg}/nlohmann_json/nlohmann_jsonConfig.cmake
    "if(NOT TARGET nlohmann_json::nlohmann_json)\n"
    "  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)\n"
    "  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES \"${_pcinfo_pkg}/include\")\n"
    "endif()\n")
  file(WRITE ${_pcinfo_pkg}/nlohmann_json/nlohmann_jsonConfigVersion.cmake
    "set(PACKAGE_VERSION ${_pcinfo_major}.${_pcinfo_minor}.${_pcinfo_patch})\n"
    "if(PACKAGE_FIND_VERSION_MAJOR STREQUAL \"${_pcinfo_major}\" AND NOT PACKAGE_FIND_VERSION VERSION_GREATER PACKAGE_VERSION)\n"
    "  set(PACKAGE_VERSION_COMPATIBLE TRUE)\n"
    "  if(PACKAGE_FIND_VERSION VERSION_EQUAL PACKAGE_VERSION)\n"
    "    set(PACKAGE_VERSION_EXACT TRUE)\n"
    "  endif()\n"
    "endif()\n")
  set(nlohmann_json_DIR ${_pcinfo_pkg}/nlohmann_json CACHE PATH "" FORCE)
endif()

# No libgcc, libstdc++ or winpthread DLLs at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests of the cross build run under Wine.
find_program(PCINFO_WINE NAMES wine64 wine)
if(PCINFO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PCINFO_WINE})
endif()
