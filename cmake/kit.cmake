# The integrator kit of a Windows build: the DLL stripped, with its debug
# information beside it; import libraries that link with GNU and MSVC-style
# toolchains; the .def; install rules; and the ZIP that holds both
# architectures (CPack, from this build and the other architecture's).
#
#   kit/bin/veltrane.dll, veltrane.dll.debug
#   kit/lib/veltrane.def, libveltrane.dll.a (GNU), veltrane.lib (MSVC format)
# (VELTRANE_ARCH, VELTRANE_EXPORTS and VELTRANE_DEF come from veltrane-dll.cmake.)
if(VELTRANE_ARCH STREQUAL x64)
    set(other_arch x86)
    set(llvm_machine i386:x86-64)
else()
    set(other_arch x64)
    set(llvm_machine i386)
endif()
set(VELTRANE_KIT_DIR ${CMAKE_BINARY_DIR}/kit)

# The .def shipped for import libraries of integrators' own making.
if(VELTRANE_ARCH STREQUAL x86)
    veltrane_write_def(${VELTRANE_KIT_DIR}/lib/veltrane.def "${VELTRANE_EXPORTS}" "${VELTRANE_EXPORT_ARGUMENTS}" 4 TRUE)
    # The decorated stdcall symbols import the plain names.
    set(kill_at -k)
else()
    configure_file(${VELTRANE_DEF} ${VELTRANE_KIT_DIR}/lib/veltrane.def COPYONLY)
    set(kill_at "")
endif()

find_program(VELTRANE_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)

set(def ${VELTRANE_KIT_DIR}/lib/veltrane.def)
set(gnu_implib ${VELTRANE_KIT_DIR}/lib/libveltrane.dll.a)
set(msvc_implib ${VELTRANE_KIT_DIR}/lib/veltrane.lib)
add_custom_command(OUTPUT ${gnu_implib}
    COMMAND ${CMAKE_DLLTOOL} ${kill_at} -d ${def} -l ${gnu_implib}
    DEPENDS ${def}
    COMMENT "GNU import library (${VELTRANE_ARCH})")
add_custom_command(OUTPUT ${msvc_implib}
    COMMAND ${VELTRANE_LLVM_DLLTOOL} -m ${llvm_machine} ${kill_at} -d ${def} -l ${msvc_implib}
    DEPENDS ${def}
    COMMENT "MSVC-format import library (${VELTRANE_ARCH})")

# The shipped DLL: no debug information inside; a debugger finds it in
# veltrane.dll.debug beside it through the .gnu_debuglink section.
set(kit_dll ${VELTRANE_KIT_DIR}/bin/veltrane.dll)
set(kit_debug ${VELTRANE_KIT_DIR}/bin/veltrane.dll.debug)
add_custom_command(OUTPUT ${kit_dll} ${kit_debug}
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:veltrane> veltrane.dll.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=veltrane.dll.debug $<TARGET_FILE:veltrane> veltrane.dll
    DEPENDS veltrane
    WORKING_DIRECTORY ${VELTRANE_KIT_DIR}/bin
    COMMENT "Stripped veltrane.dll and its debug information (${VELTRANE_ARCH})")
add_custom_target(veltrane_kit ALL DEPENDS ${gnu_implib} ${msvc_implib} ${kit_dll} ${kit_debug})

# The integrators' README is the section of README.md written for them.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
file(READ ${PROJECT_SOURCE_DIR}/README.md readme)
string(FIND "${readme}" "<!-- integrators: begin -->\n" begin)
string(FIND "${readme}" "<!-- integrators: end -->" end)
if(begin EQUAL -1 OR end LESS begin)
    message(FATAL_ERROR "README.md lacks the <!-- integrators: begin/end --> markers around the integrators' section")
endif()
math(EXPR begin "${begin} + 28")
math(EXPR length "${end} - ${begin}")
string(SUBSTRING "${readme}" ${begin} ${length} readme)
file(CONFIGURE OUTPUT ${VELTRANE_KIT_DIR}/README.md
     CONTENT "# Veltrane ${PROJECT_VERSION} for integrators\n\n${readme}" @ONLY)
# Windows line ends where Windows tools insist on them (VB6 and the VBA
# editor read a .bas file with bare line feeds as one line).
configure_file(${PROJECT_SOURCE_DIR}/samples/config.ini ${VELTRANE_KIT_DIR}/config.ini @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/samples/vb/Veltrane.bas ${VELTRANE_KIT_DIR}/samples/vb/Veltrane.bas @ONLY
               NEWLINE_STYLE CRLF)

# Install: this architecture's files, and those both share.
install(FILES ${kit_dll} ${kit_debug} DESTINATION bin/${VELTRANE_ARCH})
# The COM object's type library as a file (the DLL embeds the same), and the
# assembly manifest for registration-free use.
install(FILES ${VELTRANE_TYPELIB} ${VELTRANE_MANIFEST} DESTINATION bin/${VELTRANE_ARCH})
install(FILES ${def} ${gnu_implib} ${msvc_implib} DESTINATION lib/${VELTRANE_ARCH})
install(FILES ${PROJECT_SOURCE_DIR}/include/veltrane.h DESTINATION include)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/ DESTINATION samples
        PATTERN CMakeLists.txt EXCLUDE PATTERN config.ini EXCLUDE PATTERN testing EXCLUDE PATTERN *.bas EXCLUDE)
install(FILES ${VELTRANE_KIT_DIR}/samples/vb/Veltrane.bas DESTINATION samples/vb)
install(FILES ${VELTRANE_KIT_DIR}/README.md ${VELTRANE_KIT_DIR}/config.ini ${PROJECT_SOURCE_DIR}/LICENSE
              ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION .)

# The ZIP: this build's installation and the other architecture's.
set(VELTRANE_OTHER_ARCH_BUILD ${PROJECT_SOURCE_DIR}/build/${other_arch} CACHE PATH
    "The ${other_arch} build whose files the package also holds")
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME veltrane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME veltrane-${PROJECT_VERSION}-windows)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};veltrane;ALL;/" "${VELTRANE_OTHER_ARCH_BUILD};veltrane;ALL;/")
include(CPack)

if(VELTRANE_TESTS)
    list(JOIN VELTRANE_EXPORTS "," exports)
    add_test(NAME veltrane_kit_dll_imports_and_exports
             COMMAND ${CMAKE_COMMAND} -DDLL=${kit_dll} -DSTRIPPED=ON -DOBJDUMP=${CMAKE_OBJDUMP} -DEXPORTS=${exports}
                     -P ${PROJECT_SOURCE_DIR}/cmake/check-dll.cmake)
    if(VELTRANE_ARCH STREQUAL x64)
        # Builds the ZIP from both builds (the x86 one must be built) and
        # checks what an integrator unpacks.
        add_test(NAME veltrane_package_contents
                 COMMAND ${CMAKE_COMMAND} -DCPACK=${CMAKE_CPACK_COMMAND} -DBUILD=${CMAKE_BINARY_DIR}
                         -DOTHER_BUILD=${VELTRANE_OTHER_ARCH_BUILD} -DVERSION=${PROJECT_VERSION}
                         -DOBJDUMP=${CMAKE_OBJDUMP} -DEXPORTS=${exports}
                         -P ${PROJECT_SOURCE_DIR}/cmake/check-package.cmake)
        # Zipping some 20 MB takes both cores for seconds: not beside timing tests.
        set_tests_properties(veltrane_package_contents PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
    endif()
endif()
