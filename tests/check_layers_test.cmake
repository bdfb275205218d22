# Runs the layer check on small trees: one that keeps to the layers must pass, and each
# crossing planted in another must be named in the failure.
#   cmake -DCHECK=<check_layers.cmake> -DWORK_DIR=<scratch folder> -P check_layers_test.cmake
function(write_tree root)
  file(REMOVE_RECURSE ${root})
  file(WRITE ${root}/src/state/s.h "#include <cstdint>\n")
  file(WRITE ${root}/src/solver/f.cpp "#include \"solver/f.h\"\n#include \"state/s.h\"\n")
  file(WRITE ${root}/src/display/c.cpp "#include \"solver/f.h\"\n#include <cmath>\n")
  file(WRITE ${root}/src/editing/w.cpp "#include \"state/s.h\"\n")
  file(WRITE ${root}/src/app/a.cpp "#include \"editing/w.h\"\n#include \"platform/win32.h\"\n")
  file(WRITE ${root}/src/platform/p.cpp "#include \"platform/posix/x.h\"\n#include <QImage>\n")
endfunction()

function(run_check root out_result out_text)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${root} -P ${CHECK}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_text} "${out}${err}" PARENT_SCOPE)
endfunction()

set(good ${WORK_DIR}/good)
write_tree(${good})
run_check(${good} result text)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "a tree that keeps to the layers was refused:\n${text}")
endif()

set(bad ${WORK_DIR}/bad)
write_tree(${bad})
set(crossings
    "src/display/up.cpp|#include \"app/app_state.h\""
    "src/editing/side.cpp|#include \"display/coloring.h\""
    "src/solver/up.h|#include \"editing/walls.h\""
    "src/state/sys.h|#include <windows.h>"
    "src/display/qt.cpp|#include <QImage>"
    "src/app/posix.cpp|#include \"platform/posix/internal.h\""
    "src/app/direct.cpp|#include <commdlg.h>"
    "src/platform/up.cpp|#include \"app/program.h\""
    "src/gadgets/new.cpp|#include \"state/s.h\"")
foreach(c IN LISTS crossings)
  string(REPLACE "|" ";" parts "${c}")
  list(GET parts 0 file)
  list(GET parts 1 line)
  file(WRITE ${bad}/${file} "${line}\n")
endforeach()
run_check(${bad} result text)
if(result EQUAL 0)
  message(FATAL_ERROR "a tree with crossing includes passed:\n${text}")
endif()
foreach(c IN LISTS crossings)
  string(REPLACE "|" ";" parts "${c}")
  list(GET parts 0 file)
  string(FIND "${text}" "${file}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the check did not name ${file}:\n${text}")
  endif()
endforeach()
string(FIND "${text}" "src/solver/f.cpp" at)
if(NOT at EQUAL -1)
  message(FATAL_ERROR "the check named a file that keeps to its layer:\n${text}")
endif()
message(STATUS "the layer check passes a sound tree and names every planted crossing")
