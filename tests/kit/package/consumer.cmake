cmake_minimum_required(VERSION 3.20)
# A CMake project of an integrator's, the package's own samples/c, built
# against the unpacked package with MinGW-w64 gcc through
# find_package(Veltrane 1.1 CONFIG REQUIRED); on x64 the program then runs a
# session against the package's simulator under Wine (the kit's session
# test, given the built program and the packaged simulator).
# Arguments: -DROOT=<the unpacked package> -DARCH=x64|x86 -DWORK=<folder>
#            [-DSESSION_TEST=<kit_session_test.exe> -DWINE_RUN=<wine-run.sh>]
if(ARCH STREQUAL x64)
    set(triple x86_64-w64-mingw32)
else()
    set(triple i686-w64-mingw32)
endif()
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} -S ${ROOT}/samples/c -B ${WORK} -G "Unix Makefiles"
                        -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=${triple}-gcc-posix
                        -DCMAKE_PREFIX_PATH=${ROOT} -DCMAKE_BUILD_TYPE=Release
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed)
    message(FATAL_ERROR "configuring samples/c against the package failed:\n${output}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed)
    message(FATAL_ERROR "building samples/c against the package failed:\n${output}")
endif()
foreach(file sample_host.exe veltrane.dll)
    if(NOT EXISTS ${WORK}/${file})
        message(FATAL_ERROR "the build of samples/c has no ${file}")
    endif()
endforeach()
file(SHA256 ${WORK}/veltrane.dll copied)
file(SHA256 ${ROOT}/bin/${ARCH}/veltrane.dll shipped)
if(NOT copied STREQUAL shipped)
    message(FATAL_ERROR "the DLL beside sample_host.exe is not bin/${ARCH}/veltrane.dll")
endif()

if(DEFINED SESSION_TEST)
    file(COPY ${SESSION_TEST} ${ROOT}/tools/${ARCH}/cti-simulator.exe DESTINATION ${WORK})
    get_filename_component(test ${SESSION_TEST} NAME)
    execute_process(COMMAND sh ${WINE_RUN} ${WORK}/${test} --gtest_filter=*sample_host*
                    WORKING_DIRECTORY ${WORK} RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(failed OR NOT output MATCHES "\\[  PASSED  \\] 1 test")
        message(FATAL_ERROR "the sample's session against the packaged simulator failed:\n${output}")
    endif()
    message(STATUS "${output}")
endif()
