cmake_minimum_required(VERSION 3.20)
# Makes the release ZIP from the x64 build and the x86 build it names, then
# checks what an integrator unpacks: every file in its place, the DLLs
# stripped with a debug link to the debug file beside them, importing only
# system DLLs and exporting every function undecorated.
# Arguments: -DCPACK=<cpack> -DBUILD=<this build> -DOTHER_BUILD=<x86 build>
#            -DVERSION=<x.y.z> -DOBJDUMP=<objdump> -DEXPORTS=<name,name,...>
if(NOT EXISTS ${OTHER_BUILD}/kit/bin/veltrane.dll)
    message(FATAL_ERROR "${OTHER_BUILD} has no kit: build the x86 preset first (cmake --build build/x86)")
endif()
set(work ${BUILD}/package-check)
file(REMOVE_RECURSE ${work})
execute_process(COMMAND ${CPACK} -G ZIP --config ${BUILD}/CPackConfig.cmake -B ${work}
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
set(name veltrane-${VERSION}-windows)
if(failed OR NOT EXISTS ${work}/${name}.zip)
    message(FATAL_ERROR "cpack failed:\n${output}")
endif()
file(MAKE_DIRECTORY ${work}/unpacked)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${work}/${name}.zip WORKING_DIRECTORY ${work}/unpacked
                RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cannot unpack ${name}.zip")
endif()

set(root ${work}/unpacked/${name})
set(expected README.md LICENSE CHANGELOG.md config.ini include/veltrane.h
    samples/c/host.c samples/csharp/Veltrane.cs samples/pascal/Veltrane.pas samples/vb/Veltrane.bas
    samples/csharp/PhoneSession.cs samples/pascal/ImportingTheTypeLibrary.md samples/powershell/Session.ps1
    samples/vb6/PhoneForm.frm samples/vba/VeltranePhone.cls samples/vbscript/Session.vbs)
foreach(arch x64 x86)
    list(APPEND expected bin/${arch}/veltrane.dll bin/${arch}/veltrane.dll.debug lib/${arch}/veltrane.def
         bin/${arch}/veltrane.tlb bin/${arch}/Veltrane.Phone.manifest
         lib/${arch}/libveltrane.dll.a lib/${arch}/veltrane.lib)
endforeach()
file(GLOB_RECURSE present RELATIVE ${root} ${root}/*)
foreach(file IN LISTS expected)
    if(NOT file IN_LIST present)
        message(FATAL_ERROR "${name}.zip lacks ${file}")
    endif()
endforeach()
list(REMOVE_ITEM present ${expected})
if(present)
    message(FATAL_ERROR "${name}.zip holds files nobody asked for: ${present}")
endif()

foreach(arch x64 x86)
    set(dll ${root}/bin/${arch}/veltrane.dll)
    execute_process(COMMAND ${CMAKE_COMMAND} -DDLL=${dll} -DOBJDUMP=${OBJDUMP} -DEXPORTS=${EXPORTS} -DSTRIPPED=ON
                            -P ${CMAKE_CURRENT_LIST_DIR}/check-dll.cmake RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "bin/${arch}/veltrane.dll failed its checks")
    endif()
    execute_process(COMMAND ${OBJDUMP} -h ${root}/bin/${arch}/veltrane.dll.debug OUTPUT_VARIABLE sections)
    if(NOT sections MATCHES " \\.debug_info ")
        message(FATAL_ERROR "bin/${arch}/veltrane.dll.debug holds no debug information")
    endif()
    execute_process(COMMAND ${OBJDUMP} -s -j .gnu_debuglink ${dll} OUTPUT_VARIABLE link)
    if(NOT link MATCHES "veltrane\\.dll\\.d")
        message(FATAL_ERROR "bin/${arch}/veltrane.dll does not link to veltrane.dll.debug")
    endif()
endforeach()
foreach(file config.ini samples/vb/Veltrane.bas samples/vb6/PhoneForm.frm samples/vba/VeltranePhone.cls
             samples/vbscript/Session.vbs)
    # (In hexadecimal: file(READ) as text drops carriage returns.)
    file(READ ${root}/${file} bytes HEX)
    string(REGEX REPLACE "(..)" "\\1 " bytes "${bytes}")
    string(REPLACE "0d 0a " "" rest "${bytes}")
    if(rest MATCHES "0a " OR rest STREQUAL bytes)
        message(FATAL_ERROR "${file} does not end its lines in CR LF")
    endif()
endforeach()
file(READ ${root}/README.md readme)
if(NOT readme MATCHES "^# Veltrane ${VERSION}")
    message(FATAL_ERROR "README.md of the package does not name version ${VERSION}")
endif()
message(STATUS "${name}.zip: ${expected}")
