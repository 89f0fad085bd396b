#!/bin/sh
# Fails when a file includes a header of the library (src/) that its layer
# must not use. Each folder of src/ is a layer; it may include its own
# headers and those of the layers listed for it below, all of them lower.
# The tools may use the CTI protocol and the helpers under it and the Win32
# helpers of winsupport, and the Wine and kit tests none of the library:
# they see the DLL as host programs do.
#
#   tools/check-layers.sh        (tools/test.sh runs it first)
set -eu
cd "$(dirname "$0")/.."

# The layers a folder may include besides itself.
allowed() {
    case "$1" in
    base | winsupport) echo "" ;;
    platform) echo "base" ;;
    core) echo "base platform" ;;
    protocol) echo "base" ;;
    link) echo "base platform core protocol" ;;
    account | telephony) echo "base platform core protocol link" ;;
    web) echo "base platform core" ;;
    session) echo "base platform core protocol link account telephony web" ;;
    win32) echo "base winsupport platform core web" ;;
    dll) echo "base winsupport platform core protocol link account telephony web session win32" ;;
    com) echo "base winsupport platform core protocol link account telephony web session win32 dll" ;;
    tools) echo "base protocol winsupport" ;;
    hosts) echo "" ;;
    *) return 1 ;;
    esac
}

# The layer, or the kind of program, a file belongs to.
owner() {
    case "$1" in
    src/*/*) echo "$1" | cut -d/ -f2 ;;
    tools/*) echo tools ;;
    tests/wine/* | tests/kit/*) echo hosts ;;
    esac
}

files=$(find src tools tests/wine tests/kit -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) | sort)
status=0
checked=0
for file in $files; do
    layer=$(owner "$file")
    if ! may=$(allowed "$layer"); then
        echo "$file: src/$layer is no known layer (add it to tools/check-layers.sh)" >&2
        status=1
        continue
    fi
    # The headers named with a folder: "x/y.h".
    includes=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$file" | sort -u)
    for header in $includes; do
        [ -f "src/$header" ] || continue  # not a header of the library
        checked=$((checked + 1))
        used=${header%%/*}
        [ "$used" = "$layer" ] && [ "$layer" != tools ] && [ "$layer" != hosts ] && continue
        case " $may " in
        *" $used "*) continue ;;
        esac
        echo "$file includes $header: $layer must not use the layer $used" >&2
        status=1
    done
done
[ $status -eq 0 ] && echo "check-layers: $checked includes of the library in $(echo "$files" | wc -l) files, all one way"
exit $status
