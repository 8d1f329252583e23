#!/usr/bin/env bash
# The library's dynamic symbol table holds exactly the seven functions under their plain and
# decorated names, none of them versioned.
set -euo pipefail
lib=$1
expected="P_ConvertDIB2LToolsBitmapFormat
P_FileDownSample
P_GetDescreenParameter
P_ImageDescreen
P_ImageDownSample
P_Initlbitmap
P_SingleAutoCrop
_P_ConvertDIB2LToolsBitmapFormat@20
_P_FileDownSample@12
_P_GetDescreenParameter@8
_P_ImageDescreen@36
_P_ImageDownSample@24
_P_Initlbitmap@24
_P_SingleAutoCrop@24"
# The only version a library may define without versioning its symbols is its base (its own
# name, which unversioned exports belong to).
if readelf -W -V "$lib" | grep "Rev:" | grep -v "Flags: BASE" | grep -q .; then
  echo "$lib defines symbol versions:" >&2
  readelf -W -V "$lib" | grep "Rev:" >&2
  exit 1
fi
# readelf prints a versioned name as NAME@VERSION or NAME@@VERSION, so such a name differs from
# the list below; nm gives the same names without versions.
actual=$(readelf -W --dyn-syms "$lib" | awk '$1 ~ /^[0-9]+:$/ && $7 != "UND" && $5 != "LOCAL" {print $8}' | LC_ALL=C sort)
plain=$(nm -D --defined-only "$lib" | awk '{print $3}' | LC_ALL=C sort)
if [ "$plain" != "$expected" ]; then
  echo "nm lists other exports:" >&2
  diff <(echo "$expected") <(echo "$plain") >&2 || true
  exit 1
fi
if [ "$actual" != "$expected" ]; then
  echo "export list of $lib differs:" >&2
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  exit 1
fi
echo "14 exports, none versioned"
