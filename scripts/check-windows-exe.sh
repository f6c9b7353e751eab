#!/usr/bin/env bash
# Checks a Windows executable that is meant to run from any folder on a bare Windows: the GUI
# subsystem (no console window opens beside it), and an import table naming only DLLs that come
# with Windows itself, so no compiler runtime or Qt DLL has to be shipped next to it, and its
# manifest.
#
#   scripts/check-windows-exe.sh KVZApp.exe
set -euo pipefail

exe=${1:?usage: check-windows-exe.sh EXE}
headers=$(x86_64-w64-mingw32-objdump -p "$exe")

status=0
if ! grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$headers"; then
  echo "$exe: not a Windows GUI program: $(grep '^Subsystem' <<<"$headers")" >&2
  status=1
fi

# Windows' own libraries, by their lowercase names; the api-ms-win-* sets are Windows' too.
system_dlls=(
  advapi32.dll authz.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll d3d11.dll d3d9.dll dwmapi.dll
  dwrite.dll dxgi.dll gdi32.dll imm32.dll kernel32.dll msvcrt.dll mpr.dll netapi32.dll ntdll.dll
  ole32.dll oleaut32.dll opengl32.dll rpcrt4.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll
  user32.dll userenv.dll uxtheme.dll version.dll winmm.dll winspool.drv ws2_32.dll wtsapi32.dll
)
declare -A is_system
for dll in "${system_dlls[@]}"; do is_system[$dll]=1; done

mapfile -t dlls < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr '[:upper:]' '[:lower:]' |
  sort -u)
if [ ${#dlls[@]} -eq 0 ]; then
  echo "$exe: no import table found" >&2
  status=1
fi
for dll in "${dlls[@]}"; do
  [ -n "${is_system[$dll]:-}" ] && continue
  case "$dll" in api-ms-win-*) continue ;; esac
  echo "$exe: imports $dll, which Windows does not have" >&2
  status=1
done
# Without its manifest naming Windows 10, the program runs as if on Windows 8, unaware of scaling.
if ! grep -q '8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a' "$exe"; then
  echo "$exe: no manifest naming Windows 10 as its system" >&2
  status=1
fi
[ "$status" -ne 0 ] || echo "$exe: GUI subsystem, imports only Windows DLLs: ${dlls[*]}"
exit "$status"
