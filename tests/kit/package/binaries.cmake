cmake_minimum_required(VERSION 3.20)
# The Windows binaries of one architecture in the unpacked package:
# - veltrane.dll imports only system DLLs and exports every function
#   undecorated (cmake/check-dll.cmake);
# - its CodeView record names veltrane.pdb (no build folder) by the GUID and
#   age that the PDB beside it carries, and the address of an export
#   symbolises from those two files alone to its function, file and line;
# - the DLL and the simulator are marked for ASLR, DEP and Control Flow
#   Guard, with guard tables (x86: and no SEH handlers), and carry an
#   Authenticode signature that verifies against the test root and not
#   against another root.
# Arguments: -DROOT=<the unpacked package> -DARCH=x64|x86 -DLLVM_BIN=<folder> -DOBJDUMP=<objdump>
#            -DEXPORTS=<name,...> -DOSSLSIGNCODE=<osslsigncode> -DTEST_ROOT=<root.pem>
set(dll ${ROOT}/bin/${ARCH}/veltrane.dll)
set(pdb ${ROOT}/bin/${ARCH}/veltrane.pdb)
set(simulator ${ROOT}/tools/${ARCH}/cti-simulator.exe)

function(output variable)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE error)
    if(failed)
        message(FATAL_ERROR "${ARGN}:\n${out}${error}")
    endif()
    set(${variable} "${out}" PARENT_SCOPE)
endfunction()

execute_process(COMMAND ${CMAKE_COMMAND} -DDLL=${dll} -DOBJDUMP=${OBJDUMP} -DEXPORTS=${EXPORTS}
                        -P ${CMAKE_CURRENT_LIST_DIR}/../../../cmake/check-dll.cmake RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "bin/${ARCH}/veltrane.dll failed its checks")
endif()

# The PDB that the DLL names, as a debugger looks it up: by file name, GUID and age.
output(debug ${LLVM_BIN}/llvm-readobj --coff-debug-directory ${dll})
if(NOT debug MATCHES "PDBGUID: \\(([0-9A-F ]+)\\)" )
    message(FATAL_ERROR "bin/${ARCH}/veltrane.dll has no CodeView (RSDS) debug directory:\n${debug}")
endif()
string(REPLACE " " ";" b "${CMAKE_MATCH_1}")
list(GET b 3 2 1 0 d1)
list(GET b 5 4 d2)
list(GET b 7 6 d3)
list(GET b 8 9 d4)
list(SUBLIST b 10 6 d5)
foreach(part d1 d2 d3 d4 d5)
    string(REPLACE ";" "" ${part} "${${part}}")
endforeach()
set(guid "{${d1}-${d2}-${d3}-${d4}-${d5}}")
string(REGEX MATCH "PDBAge: ([0-9]+)" _ "${debug}")
set(age ${CMAKE_MATCH_1})
if(NOT debug MATCHES "PDBFileName: veltrane\\.pdb\n")
    message(FATAL_ERROR "bin/${ARCH}/veltrane.dll names its PDB other than veltrane.pdb:\n${debug}")
endif()
output(summary ${LLVM_BIN}/llvm-pdbutil dump --summary ${pdb})
if(NOT summary MATCHES "GUID: ${guid}" OR NOT summary MATCHES "Age: ${age}\n")
    message(FATAL_ERROR "bin/${ARCH}/veltrane.pdb is not the PDB of veltrane.dll (${guid}, age ${age}):\n${summary}")
endif()

# An export's address, symbolised with the shipped files only (in a folder
# of their own, so that nothing of the build can help).
set(alone ${ROOT}/../symbols-${ARCH})
file(REMOVE_RECURSE ${alone})
file(COPY ${dll} ${pdb} DESTINATION ${alone})
output(exports ${LLVM_BIN}/llvm-readobj --coff-exports ${alone}/veltrane.dll)
if(NOT exports MATCHES "Name: DIAL\n *RVA: (0x[0-9A-F]+)")
    message(FATAL_ERROR "no DIAL export:\n${exports}")
endif()
set(rva ${CMAKE_MATCH_1})
output(symbol ${LLVM_BIN}/llvm-symbolizer --obj=${alone}/veltrane.dll --relative-address --no-inlines ${rva})
if(NOT symbol MATCHES "^_?DIAL(@4)?\n[^\n]*src/dll/exports\\.cpp:[1-9][0-9]*")
    message(FATAL_ERROR "DIAL (${rva}) does not symbolise to its function, file and line:\n${symbol}")
endif()
string(REPLACE "\n" " " symbol "${symbol}")
message(STATUS "DIAL at ${rva}: ${symbol}")

foreach(program ${dll} ${simulator})
    # Mitigations: the PE header's DLL characteristics and the load configuration.
    output(headers ${LLVM_BIN}/llvm-readobj --file-headers --coff-load-config ${program})
    set(marks DYNAMIC_BASE NX_COMPAT GUARD_CF)
    if(ARCH STREQUAL x64)
        list(APPEND marks HIGH_ENTROPY_VA)
    else()
        list(APPEND marks NO_SEH)
    endif()
    foreach(mark IN LISTS marks)
        if(NOT headers MATCHES "IMAGE_DLL_CHARACTERISTICS_${mark} ")
            message(FATAL_ERROR "${program} is not marked ${mark}")
        endif()
    endforeach()
    if(NOT headers MATCHES "CF_INSTRUMENTED" OR NOT headers MATCHES "CF_FUNCTION_TABLE_PRESENT"
       OR NOT headers MATCHES "GuardCFFunctionCount: [1-9]" OR headers MATCHES "GuardCFCheckFunction: 0x0\n")
        message(FATAL_ERROR "${program} has no Control Flow Guard load configuration:\n${headers}")
    endif()
    output(verified ${OSSLSIGNCODE} verify -CAfile ${TEST_ROOT} -in ${program})
    if(NOT verified MATCHES "Signature verification: ok")
        message(FATAL_ERROR "${program}: signature not verified:\n${verified}")
    endif()
    get_filename_component(signing ${TEST_ROOT} DIRECTORY)
    execute_process(COMMAND ${OSSLSIGNCODE} verify -CAfile ${signing}/other.pem -in ${program}
                    RESULT_VARIABLE untrusted OUTPUT_QUIET ERROR_QUIET)
    if(NOT untrusted)
        message(FATAL_ERROR "${program}: the signature verifies against a root that did not sign it")
    endif()
endforeach()
