cmake_minimum_required(VERSION 3.20)
# Checks a built veltrane.dll: it imports only Windows system DLLs (the C and
# C++ runtimes are linked in), it exports its functions undecorated, and it
# holds no DWARF (its debug information is in the PDB beside it). With
# IMAGE_VERSION (major.minor), its PE header carries that version.
# Arguments: -DDLL=<path> -DOBJDUMP=<objdump> -DEXPORTS=<name,name,...> [-DIMAGE_VERSION=x.y]
execute_process(COMMAND ${OBJDUMP} -p -h ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "objdump failed on ${DLL}")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
set(system KERNEL32.dll USER32.dll GDI32.dll ADVAPI32.dll msvcrt.dll WS2_32.dll IPHLPAPI.DLL COMCTL32.dll
    ole32.dll OLEAUT32.dll SHELL32.dll SECUR32.dll CRYPT32.dll)
string(TOUPPER "${system}" system)
foreach(line IN LISTS imports)
    string(REPLACE "DLL Name: " "" name "${line}")
    string(TOUPPER "${name}" upper)
    if(NOT upper IN_LIST system)
        message(FATAL_ERROR "${DLL} imports ${name}, which is not a Windows system DLL")
    endif()
endforeach()

string(REPLACE "," ";" EXPORTS "${EXPORTS}")
foreach(name IN LISTS EXPORTS)
    if(NOT dump MATCHES "\\] ${name}\n")
        message(FATAL_ERROR "${DLL} does not export ${name} undecorated")
    endif()
endforeach()
if(dump MATCHES "\\] [A-Z_]+@[0-9]+")
    message(FATAL_ERROR "${DLL} exports decorated names")
endif()

if(DEFINED IMAGE_VERSION)
    string(REPLACE "." ";" parts ${IMAGE_VERSION})
    list(GET parts 0 major)
    list(GET parts 1 minor)
    if(NOT dump MATCHES "MajorImageVersion\t${major}\n" OR NOT dump MATCHES "MinorImageVersion\t${minor}\n")
        message(FATAL_ERROR "${DLL} does not carry the image version ${IMAGE_VERSION}")
    endif()
endif()

if(dump MATCHES " \\.debug_[a-z]+ ")
    message(FATAL_ERROR "${DLL} holds DWARF debug information")
endif()
message(STATUS "imports: ${imports}")
