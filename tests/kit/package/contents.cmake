cmake_minimum_required(VERSION 3.20)
# What an integrator unpacks: every file in its place and nothing else, the
# Windows line ends where Windows tools need them, and the README of this
# version.
# Arguments: -DROOT=<the unpacked package's folder> -DVERSION=<x.y.z>
set(expected README.md LICENSE THIRD-PARTY-NOTICES.txt CHANGELOG.md config.ini include/veltrane.h
    lib/cmake/Veltrane/VeltraneConfig.cmake lib/cmake/Veltrane/VeltraneConfigVersion.cmake
    samples/c/host.c samples/c/CMakeLists.txt samples/csharp/Veltrane.cs samples/pascal/Veltrane.pas
    samples/vb/Veltrane.bas samples/csharp/PhoneSession.cs samples/pascal/ImportingTheTypeLibrary.md
    samples/powershell/Session.ps1 samples/vb6/PhoneForm.frm samples/vba/VeltranePhone.cls
    samples/vbscript/Session.vbs)
foreach(arch x64 x86)
    list(APPEND expected bin/${arch}/veltrane.dll bin/${arch}/veltrane.pdb tools/${arch}/cti-simulator.exe
         bin/${arch}/veltrane.tlb bin/${arch}/Veltrane.Phone.manifest
         lib/${arch}/veltrane.def lib/${arch}/libveltrane.dll.a lib/${arch}/veltrane.lib)
endforeach()
file(GLOB_RECURSE present RELATIVE ${ROOT} ${ROOT}/*)
foreach(file IN LISTS expected)
    if(NOT file IN_LIST present)
        message(FATAL_ERROR "the package lacks ${file}")
    endif()
endforeach()
list(REMOVE_ITEM present ${expected})
if(present)
    message(FATAL_ERROR "the package holds files nobody asked for: ${present}")
endif()

foreach(file config.ini samples/vb/Veltrane.bas samples/vb6/PhoneForm.frm samples/vba/VeltranePhone.cls
             samples/vbscript/Session.vbs)
    # (In hexadecimal: file(READ) as text drops carriage returns.)
    file(READ ${ROOT}/${file} bytes HEX)
    string(REGEX REPLACE "(..)" "\\1 " bytes "${bytes}")
    string(REPLACE "0d 0a " "" rest "${bytes}")
    if(rest MATCHES "0a " OR rest STREQUAL bytes)
        message(FATAL_ERROR "${file} does not end its lines in CR LF")
    endif()
endforeach()
file(READ ${ROOT}/README.md readme)
if(NOT readme MATCHES "^# Veltrane ${VERSION}")
    message(FATAL_ERROR "README.md of the package does not name version ${VERSION}")
endif()
file(READ ${ROOT}/THIRD-PARTY-NOTICES.txt notices)
foreach(licence "Zope Public License" "GCC RUNTIME LIBRARY EXCEPTION" "winpthreads")
    if(NOT notices MATCHES "${licence}")
        message(FATAL_ERROR "THIRD-PARTY-NOTICES.txt does not mention ${licence}")
    endif()
endforeach()
message(STATUS "the package holds: ${expected}")
