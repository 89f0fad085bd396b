cmake_minimum_required(VERSION 3.20)
# Checks that a linked host program imports from veltrane.dll exactly the
# header's exports, by their plain names: the import library bound each
# declaration (decorated or not) to the export itself.
# Arguments: -DPROGRAM=<exe> -DOBJDUMP=<objdump> -DEXPORTS=<name,name,...>
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "objdump failed on ${PROGRAM}")
endif()
if(NOT dump MATCHES "DLL Name: veltrane\\.dll\n[^\n]*\n(([^\n]+\n)*)")
    message(FATAL_ERROR "${PROGRAM} imports nothing from veltrane.dll")
endif()
string(REGEX MATCHALL "[^ \t\n]+\n" names "${CMAKE_MATCH_1}")
list(TRANSFORM names STRIP)
list(SORT names)
string(REPLACE "," ";" expected "${EXPORTS}")
list(SORT expected)
if(NOT names STREQUAL expected)
    message(FATAL_ERROR "${PROGRAM} imports [${names}] from veltrane.dll, not the header's [${expected}]")
endif()
