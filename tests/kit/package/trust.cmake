cmake_minimum_required(VERSION 3.20)
# Windows' own verdict on the package's signature (WinVerifyTrust under
# Wine), with the test root among the prefix's trusted roots for the time of
# the checks: the signed DLL is trusted, an unsigned one and a signed one
# changed afterwards are not. (Wine 8 does not ask whether the chain ends in
# a trusted root: a signature whose root is in no store at all verifies
# there. That part is osslsigncode's, in binaries.cmake.)
# Arguments: -DWINE_RUN=<wine-run.sh> -DVERIFY=<verify-trust.exe> -DCERT_STORE=<cert-store.exe>
#            -DTEST_ROOT=<root.der> -DSIGNED=<a signed DLL> -DUNSIGNED=<an unsigned DLL> -DWORK=<folder>
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${SIGNED} ${VERIFY} DESTINATION ${WORK})
get_filename_component(signed ${SIGNED} NAME)
get_filename_component(verify ${VERIFY} NAME)
configure_file(${SIGNED} ${WORK}/changed.dll COPYONLY)
configure_file(${UNSIGNED} ${WORK}/unsigned.dll COPYONLY)
# One byte of the code changed after signing (offset 0x1000: inside .text).
execute_process(COMMAND sh -c "printf 'X' | dd of=changed.dll bs=1 seek=4096 conv=notrunc status=none"
                WORKING_DIRECTORY ${WORK})

function(expect file answer)
    execute_process(COMMAND sh ${WINE_RUN} ${verify} ${file} WORKING_DIRECTORY ${WORK}
                    OUTPUT_VARIABLE out ERROR_VARIABLE error)
    string(STRIP "${out}" out)
    message(STATUS "${file}: ${out}")
    if(NOT out STREQUAL answer)
        set(failures "${failures}${file}: ${out}, expected ${answer} ${error}\n" PARENT_SCOPE)
    endif()
endfunction()

set(failures "")
execute_process(COMMAND sh ${WINE_RUN} ${CERT_STORE} add ${TEST_ROOT} RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cannot add the test root to the prefix's trusted roots")
endif()
expect(${signed} 0x00000000)
expect(changed.dll 0x80096010)  # TRUST_E_BAD_DIGEST
expect(unsigned.dll 0x800B0100)  # TRUST_E_NOSIGNATURE
execute_process(COMMAND sh ${WINE_RUN} ${CERT_STORE} remove ${TEST_ROOT} RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cannot remove the test root from the prefix's trusted roots")
endif()
if(failures)
    message(FATAL_ERROR "WinVerifyTrust:\n${failures}")
endif()
