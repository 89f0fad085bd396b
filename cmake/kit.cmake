# The integrator kit of a Windows build: veltrane.dll as linked, with its
# PDB; import libraries that link with GNU and MSVC-style toolchains; the
# .def; the CMake package; install rules; and the ZIP that holds both
# architectures (CPack, from this build and the other architecture's).
#
#   kit/bin/veltrane.dll, veltrane.pdb    (the DLL target's own output)
#   kit/lib/libveltrane.dll.a (GNU: the DLL target's own import library),
#           veltrane.lib (MSVC format), veltrane.def
#   kit/lib/cmake/Veltrane/VeltraneConfig.cmake, VeltraneConfigVersion.cmake
# (VELTRANE_ARCH, VELTRANE_EXPORTS and VELTRANE_DEF come from veltrane-dll.cmake.)
if(VELTRANE_ARCH STREQUAL x64)
    set(other_arch x86)
    set(llvm_machine i386:x86-64)
else()
    set(other_arch x64)
    set(llvm_machine i386)
endif()
set(VELTRANE_KIT_DIR ${CMAKE_BINARY_DIR}/kit)
set_target_properties(veltrane PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${VELTRANE_KIT_DIR}/bin
    ARCHIVE_OUTPUT_DIRECTORY ${VELTRANE_KIT_DIR}/lib)

# The .def shipped for import libraries of integrators' own making; on x86
# the DLL's own import library is made from it too (src/dll).
if(VELTRANE_ARCH STREQUAL x86)
    veltrane_write_def(${VELTRANE_KIT_DIR}/lib/veltrane.def "${VELTRANE_EXPORTS}" "${VELTRANE_EXPORT_ARGUMENTS}" 4 TRUE)
    # The decorated stdcall symbols import the plain names.
    set(kill_at -k)
else()
    configure_file(${VELTRANE_DEF} ${VELTRANE_KIT_DIR}/lib/veltrane.def COPYONLY)
    set(kill_at "")
endif()

find_program(VELTRANE_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-16 llvm-dlltool-14 HINTS ${VELTRANE_LLVM_BIN} REQUIRED)
set(def ${VELTRANE_KIT_DIR}/lib/veltrane.def)
set(msvc_implib ${VELTRANE_KIT_DIR}/lib/veltrane.lib)
add_custom_command(OUTPUT ${msvc_implib}
    COMMAND ${VELTRANE_LLVM_DLLTOOL} -m ${llvm_machine} ${kill_at} -d ${def} -l ${msvc_implib}
    DEPENDS ${def}
    COMMENT "MSVC-format import library (${VELTRANE_ARCH})")
add_custom_target(veltrane_kit ALL DEPENDS ${msvc_implib})

# The CMake package: one configuration for both architectures.
include(CMakePackageConfigHelpers)
set(package_dir ${VELTRANE_KIT_DIR}/lib/cmake/Veltrane)
configure_file(${CMAKE_CURRENT_LIST_DIR}/package/VeltraneConfig.cmake ${package_dir}/VeltraneConfig.cmake COPYONLY)
write_basic_package_version_file(${package_dir}/VeltraneConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)

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
install(FILES $<TARGET_FILE:veltrane> ${VELTRANE_KIT_DIR}/bin/veltrane.pdb DESTINATION bin/${VELTRANE_ARCH})
install(FILES ${def} $<TARGET_LINKER_FILE:veltrane> ${msvc_implib} DESTINATION lib/${VELTRANE_ARCH})
install(PROGRAMS $<TARGET_FILE:cti-simulator> DESTINATION tools/${VELTRANE_ARCH})
install(FILES ${package_dir}/VeltraneConfig.cmake ${package_dir}/VeltraneConfigVersion.cmake DESTINATION lib/cmake/Veltrane)
# The COM object's type library as a file (the DLL embeds the same), and the
# assembly manifest for registration-free use.
install(FILES ${VELTRANE_TYPELIB} ${VELTRANE_MANIFEST} DESTINATION bin/${VELTRANE_ARCH})
install(FILES ${PROJECT_SOURCE_DIR}/include/veltrane.h DESTINATION include)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/ DESTINATION samples
        PATTERN config.ini EXCLUDE PATTERN testing EXCLUDE PATTERN *.bas EXCLUDE
        REGEX "samples/CMakeLists.txt$" EXCLUDE)
install(FILES ${VELTRANE_KIT_DIR}/samples/vb/Veltrane.bas DESTINATION samples/vb)
install(FILES ${VELTRANE_KIT_DIR}/README.md ${VELTRANE_KIT_DIR}/config.ini ${PROJECT_SOURCE_DIR}/LICENSE
              ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES.txt ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION .)

# The ZIP: this build's installation and the other architecture's, that
# build brought up to date first (CPack runs these commands before it
# installs the projects); the programs signed when a certificate is given
# (tools/sign.sh).
set(VELTRANE_OTHER_ARCH_BUILD ${PROJECT_SOURCE_DIR}/build/${other_arch} CACHE PATH
    "The ${other_arch} build whose files the package also holds")
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME veltrane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME veltrane-${PROJECT_VERSION}-windows)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_INSTALL_COMMANDS "${CMAKE_COMMAND} --build ${VELTRANE_OTHER_ARCH_BUILD}")
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};veltrane;ALL;/" "${VELTRANE_OTHER_ARCH_BUILD};veltrane;ALL;/")
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package/sign.cmake)
set(CPACK_VELTRANE_SIGN_SCRIPT ${PROJECT_SOURCE_DIR}/tools/sign.sh)
include(CPack)
