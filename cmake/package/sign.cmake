# Run by CPack once both architectures are installed into its staging folder
# and before it zips them: signs the DLLs and programs there with
# tools/sign.sh, which leaves them unsigned, and says so, when no
# certificate is given.
file(GLOB_RECURSE programs ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.dll ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.exe)
execute_process(COMMAND sh ${CPACK_VELTRANE_SIGN_SCRIPT} ${programs} RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "signing failed: the package is not made")
endif()
