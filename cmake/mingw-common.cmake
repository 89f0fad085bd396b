# Shared by the MinGW-w64 toolchain files: clang and lld 16 for the
# *-w64-mingw32 targets, with MinGW-w64's headers and runtime and GCC 12's
# libstdc++ and libgcc (-posix: winpthreads under std::thread). clang uses
# the same exception model as that GCC (SEH on x64, DWARF on x86) and, with
# -femulated-tls, the same thread-local variables (libstdc++'s call_once
# state, for one), so the two mix. It writes CodeView debug information,
# which lld puts into a PDB beside each program and DLL, and it can add
# Control Flow Guard (cmake/mingw-hardening.cmake).
set(VELTRANE_LLVM_BIN /usr/lib/llvm-16/bin)
set(CMAKE_C_COMPILER ${VELTRANE_LLVM_BIN}/clang)
set(CMAKE_CXX_COMPILER ${VELTRANE_LLVM_BIN}/clang++)
set(CMAKE_C_COMPILER_TARGET ${VELTRANE_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${VELTRANE_TRIPLE})
set(CMAKE_ASM_COMPILER ${VELTRANE_LLVM_BIN}/clang)
set(CMAKE_ASM_COMPILER_TARGET ${VELTRANE_TRIPLE})
set(CMAKE_RC_COMPILER ${VELTRANE_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${VELTRANE_TRIPLE}-objdump CACHE FILEPATH "")
set(CMAKE_DLLTOOL ${VELTRANE_TRIPLE}-dlltool CACHE FILEPATH "")

# clang finds MinGW-w64 in /usr/<triple> but not GCC's folder ("12-posix"
# is no version it knows): libstdc++'s headers and the runtime libraries.
set(gcc_dir /usr/lib/gcc/${VELTRANE_TRIPLE}/12-posix)
set(CMAKE_C_FLAGS_INIT "-gcodeview -femulated-tls")
# GCC for MinGW-w64 compares type_info out of line (libstdc++'s tinfo.o);
# clang would inline it and, unoptimised, clash with that definition.
set(CMAKE_CXX_FLAGS_INIT "-gcodeview -femulated-tls -D__GXX_TYPEINFO_EQUALITY_INLINE=0 -isystem ${gcc_dir}/include/c++ -isystem ${gcc_dir}/include/c++/${VELTRANE_TRIPLE}")
# Static runtimes (winpthreads too, which g++ -posix adds by itself), and a
# PDB beside each program or DLL, which names it without the build's folder.
# (GCC's runtime libraries bring DWARF, which lld 16 keeps in the image
# beside the PDB: cmake/mingw-strip-dwarf.cmake removes it after each link.)
# The link does not use -gcodeview, which comes with the compile flags.
set(link_flags "-fuse-ld=lld -static -L${gcc_dir} -lpthread -Wl,--pdb= -Wl,-Xlink=-pdbaltpath:%_PDB% -Wno-unused-command-line-argument")
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT "${link_flags}")
endforeach()
unset(gcc_dir)
unset(link_flags)
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/mingw-strip-dwarf.cmake)

set(CMAKE_FIND_ROOT_PATH /usr/${VELTRANE_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs (tests, tools) run under Wine through a wrapper that keeps
# Wine's background processes from holding ctest's pipes.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endif()
