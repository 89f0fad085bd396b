cmake_minimum_required(VERSION 3.20)
# A crash inside the shipped veltrane.dll under Wine, its minidump written by
# the crashing host, symbolised on Linux with the shipped PDB (minidump.py).
# Arguments: -DWINE_RUN=<wine-run.sh> -DCRASH_HOST=<crash-host.exe> -DROOT=<the unpacked package>
#            -DWORK=<folder> -DPYTHON=<python3> -DLLVM_BIN=<folder> -DSOURCES=<source tree>
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/base)
file(COPY ${CRASH_HOST} ${ROOT}/bin/x64/veltrane.dll DESTINATION ${WORK})
get_filename_component(host ${CRASH_HOST} NAME)
execute_process(COMMAND sh ${WINE_RUN} ${host} crash.dmp base WORKING_DIRECTORY ${WORK} RESULT_VARIABLE code
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT code EQUAL 3 OR NOT EXISTS ${WORK}/crash.dmp)
    message(FATAL_ERROR "the crashing host wrote no minidump (exit code ${code}):\n${out}")
endif()
execute_process(COMMAND ${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/minidump.py --dump ${WORK}/crash.dmp
                        --dll ${ROOT}/bin/x64/veltrane.dll --pdb ${ROOT}/bin/x64/veltrane.pdb
                        --symbolizer ${LLVM_BIN}/llvm-symbolizer --pdbutil ${LLVM_BIN}/llvm-pdbutil --sources ${SOURCES}
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
message(STATUS "${out}")
if(failed)
    message(FATAL_ERROR "the minidump was not symbolised")
endif()
