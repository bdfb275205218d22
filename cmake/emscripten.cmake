# Builds the browser program with Debian's emscripten (or the one $EMSCRIPTEN names): wasm32,
# not the x86 that emscripten reports by default, so no x86 kernel is compiled.
set(EMSCRIPTEN_SYSTEM_PROCESSOR wasm32)
if(DEFINED ENV{EMSCRIPTEN})
  set(vorla_emscripten_root $ENV{EMSCRIPTEN})
else()
  set(vorla_emscripten_root /usr/share/emscripten)
endif()
# Tests run under node; its fetch cannot read the .wasm beside a test from a file path.
find_program(vorla_node node REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${vorla_node} --no-experimental-fetch)
include(${vorla_emscripten_root}/cmake/Modules/Platform/Emscripten.cmake)

# emscripten's JavaScript optimiser needs the acorn module, which Debian keeps in its own
# folder when node itself comes from elsewhere.
set(vorla_node_path /usr/share/nodejs)
if(DEFINED ENV{NODE_PATH})
  string(PREPEND vorla_node_path "$ENV{NODE_PATH}:")
endif()
set(CMAKE_C_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=${vorla_node_path})
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=${vorla_node_path})
