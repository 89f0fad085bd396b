#!/usr/bin/env python3
"""Symbolises the crash in a minidump with the package's DLL and PDB, as a
vendor's support does with a dump from a customer's Windows Error Reporting.

    minidump.py --dump crash.dmp --dll bin/x64/veltrane.dll --symbolizer llvm-symbolizer --sources SRC

The crash is the system's read of a BSTR where no memory is, called from
veltrane.dll (see crash_host.c): the first return address into the DLL above
the faulting thread's stack pointer is the library's frame. It must
symbolise, from the PDB alone, to a function and a line of the library's
sources that reads the BSTR's length;
and the dump must lead to these files the way a debugger finds them: the
module's CodeView record names the PDB by its GUID and age, or, where the
dump has none (Wine's dbghelp writes none), the module's time stamp and size
are the DLL's, which names the PDB (checked in binaries.cmake). Exits
non-zero, saying why, otherwise.
"""
import argparse
import os
import struct
import subprocess
import sys

THREAD_LIST, MODULE_LIST, EXCEPTION = 3, 4, 6
CONTEXT_RSP, CONTEXT_RIP = 0x98, 0xF8  # offsets in the x64 CONTEXT


def streams(dump):
    signature, _, count, directory = struct.unpack_from("<4sIII", dump, 0)
    if signature != b"MDMP":
        sys.exit("not a minidump")
    found = {}
    for i in range(count):
        kind, size, rva = struct.unpack_from("<III", dump, directory + 12 * i)
        found[kind] = (rva, size)
    return found


def modules(dump, rva):
    (count,) = struct.unpack_from("<I", dump, rva)
    for i in range(count):
        at = rva + 4 + 108 * i
        base, size = struct.unpack_from("<QI", dump, at)
        (name_rva,) = struct.unpack_from("<I", dump, at + 20)
        cv_size, cv_rva = struct.unpack_from("<II", dump, at + 76)
        (length,) = struct.unpack_from("<I", dump, name_rva)
        name = dump[name_rva + 4:name_rva + 4 + length].decode("utf-16-le")
        yield name, base, size, dump[cv_rva:cv_rva + cv_size]


def codeview(record):
    """GUID and age of an RSDS record, as llvm-pdbutil prints them."""
    if record[:4] != b"RSDS":
        return None
    d1, d2, d3 = struct.unpack_from("<IHH", record, 4)
    d4 = record[12:20]
    (age,) = struct.unpack_from("<I", record, 20)
    guid = "{%08X-%04X-%04X-%s-%s}" % (d1, d2, d3, d4[:2].hex().upper(), d4[2:].hex().upper())
    return guid, age


def module_identity(dump, rva, base):
    (count,) = struct.unpack_from("<I", dump, rva)
    for i in range(count):
        at = rva + 4 + 108 * i
        start, size, _, stamp = struct.unpack_from("<QIII", dump, at)
        if start == base:
            return stamp, size
    return None


def image_identity(path):
    """TimeDateStamp and SizeOfImage from a PE file's headers."""
    with open(path, "rb") as file:
        image = file.read(4096)
    (pe,) = struct.unpack_from("<I", image, 0x3C)
    (stamp,) = struct.unpack_from("<I", image, pe + 8)
    (size,) = struct.unpack_from("<I", image, pe + 24 + 56)
    return stamp, size


def stack_word(dump, thread_rva, thread_id, address):
    (count,) = struct.unpack_from("<I", dump, thread_rva)
    for i in range(count):
        at = thread_rva + 4 + 48 * i
        (tid,) = struct.unpack_from("<I", dump, at)
        start, size, rva = struct.unpack_from("<QII", dump, at + 24)
        if tid == thread_id and start <= address < start + size - 8:
            return struct.unpack_from("<Q", dump, rva + address - start)[0]
    sys.exit("the dump has no stack memory at the crashing thread's stack pointer")


def main():
    parser = argparse.ArgumentParser()
    for option in ("--dump", "--dll", "--pdb", "--symbolizer", "--pdbutil", "--sources"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    with open(args.dump, "rb") as file:
        dump = file.read()
    found = streams(dump)
    if EXCEPTION not in found:
        sys.exit("the dump has no exception stream")
    exception = found[EXCEPTION][0]
    (thread_id,) = struct.unpack_from("<I", dump, exception)
    code, _, _, address = struct.unpack_from("<IIQQ", dump, exception + 8)
    context_rva = struct.unpack_from("<I", dump, exception + 164)[0]
    rsp, rip = (struct.unpack_from("<Q", dump, context_rva + o)[0] for o in (CONTEXT_RSP, CONTEXT_RIP))
    print("exception 0x%08X at 0x%X (rip 0x%X, rsp 0x%X)" % (code, address, rip, rsp))

    library = [m for m in modules(dump, found[MODULE_LIST][0]) if m[0].lower().endswith("\\veltrane.dll")]
    if not library:
        sys.exit("veltrane.dll is not among the dump's modules")
    name, base, size, record = library[0]
    identity = codeview(record)
    if identity is not None:
        summary = subprocess.run([args.pdbutil, "dump", "--summary", args.pdb], check=True, capture_output=True,
                                 text=True).stdout
        if "GUID: %s" % identity[0] not in summary or "Age: %d" % identity[1] not in summary:
            sys.exit("the dump's CodeView record %s of %s does not name this PDB:\n%s" % (identity, name, summary))
        print("%s at 0x%X, PDB %s age %d" % (name, base, *identity))
    else:
        stamp, image_size = image_identity(args.dll)
        if (stamp, image_size) != module_identity(dump, found[MODULE_LIST][0], base):
            sys.exit("%s in the dump is not %s (time stamp and size differ)" % (name, args.dll))
        print("%s at 0x%X, time stamp 0x%08X and size 0x%X of %s" % (name, base, stamp, image_size, args.dll))

    # As a debugger without unwind data would: the first word up the stack
    # that points into the DLL is the return address of the call that faulted.
    words = (stack_word(dump, found[THREAD_LIST][0], thread_id, rsp + 8 * i) for i in range(32))
    frame = next((word for word in words if base <= word < base + size), None)
    if frame is None:
        sys.exit("no return address into veltrane.dll near the stack pointer 0x%X" % rsp)
    # The call instruction ends at the return address: look up the byte before it.
    out = subprocess.run([args.symbolizer, "--obj=" + args.dll, "--relative-address", "--no-inlines",
                          "0x%X" % (frame - base - 1)], check=True, capture_output=True, text=True).stdout.split("\n")
    function, place = out[0], out[1]
    print("frame 0x%X = veltrane.dll+0x%X: %s at %s" % (frame, frame - base, function, place))
    path, line = place.rsplit(":", 2)[0], int(place.rsplit(":", 2)[1])
    source = os.path.join(args.sources, path[path.find("src/"):]) if "src/" in path else ""
    if function in ("", "??") or not os.path.isfile(source) or line <= 0:
        sys.exit("the frame does not symbolise to a function and line of the library's sources")
    with open(source, encoding="utf-8") as file:
        text = file.read().split("\n")[line - 1]
    if "SysStringLen" not in text:
        sys.exit("%s:%d does not read the BSTR's length: %s" % (source, line, text.strip()))
    print("  %s" % text.strip())


if __name__ == "__main__":
    main()
