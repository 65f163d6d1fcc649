#!/bin/bash
# Checks a Windows release folder (cmake --install of the windows-cross-gui
# build): every DLL that an executable or DLL in it imports is either in the
# folder beside tobrik.exe or one of Windows' own, every executable and
# DLL is stripped, and tobrik.exe limits where DLLs are loaded from (it
# imports SetDefaultDllDirectories, which it calls first).
#
# Usage: packaging/windows/release-check.sh FOLDER
# Prints what each file imports from the folder; exits 1 on any missing DLL
# or unstripped file, or a tobrik.exe that leaves the DLL search open.
set -euo pipefail
# objdump's words ("no symbols") are read below, so in no other language.
export LC_ALL=C

folder=${1:?usage: release-check.sh FOLDER}
objdump=x86_64-w64-mingw32-objdump

# DLLs that come with every 64-bit Windows (10 and later), lower case; the
# api-ms-win-* sets are Windows' own too.
declare -A system
for dll in advapi32.dll authz.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll d2d1.dll \
    d3d11.dll d3d9.dll dwmapi.dll dwrite.dll dxgi.dll gdi32.dll imm32.dll iphlpapi.dll \
    kernel32.dll mpr.dll msvcrt.dll netapi32.dll ntdll.dll ole32.dll oleaut32.dll secur32.dll \
    setupapi.dll shcore.dll shell32.dll shlwapi.dll user32.dll userenv.dll uxtheme.dll \
    version.dll winmm.dll winspool.drv ws2_32.dll wsock32.dll wtsapi32.dll; do
    system[$dll]=1
done

[[ -f $folder/tobrik.exe ]] || {
    echo "windows-release-check: no tobrik.exe in $folder" >&2
    exit 1
}

# The DLLs in the folder itself, lower case (Windows ignores case).
declare -A present
while IFS= read -r -d '' file; do
    name=$(basename "$file")
    present[${name,,}]=1
done < <(find "$folder" -maxdepth 1 -iname '*.dll' -print0)

status=0
while IFS= read -r -d '' binary; do
    relative=${binary#"$folder"/}
    dump=$("$objdump" -p "$binary") || {
        echo "FAIL - $relative: not a Windows executable or DLL" >&2
        status=1
        continue
    }
    ours=()
    while read -r dll; do
        lower=${dll,,}
        if [[ -n ${present[$lower]:-} ]]; then
            ours+=("$dll")
        elif [[ -n ${system[$lower]:-} || $lower == api-ms-win-* ]]; then
            :
        else
            echo "FAIL - $relative imports $dll, which is neither in the folder nor Windows' own" >&2
            status=1
        fi
    done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump")
    echo "$relative: ${ours[*]:-(Windows DLLs only)}"
    if [[ $relative == tobrik.exe ]] && ! grep -qw SetDefaultDllDirectories <<<"$dump"; then
        echo "FAIL - tobrik.exe does not import SetDefaultDllDirectories" >&2
        status=1
    fi
    # A stripped image has no symbol table and no DWARF sections.
    if ! "$objdump" -t "$binary" | grep -q '^no symbols' ||
        "$objdump" -h "$binary" | grep -q '\.debug_'; then
        echo "FAIL - $relative is not stripped" >&2
        status=1
    fi
done < <(find "$folder" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0 | sort -z)

if [[ $status == 0 ]]; then
    echo "windows-release-check: every import of $folder is satisfied; all stripped"
fi
exit "$status"
