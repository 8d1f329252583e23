#!/bin/sh
# kvxctl from the shell: install, the device's answers, a scan to PNG, the exit codes.
set -u
KVXCTL="$1"
ROOT=$(mktemp -d)
trap 'rm -rf "$ROOT"' EXIT
export SCANSUITE_ROOT="$ROOT"
fail() { echo "FAIL: $*"; exit 1; }
expect_rc() {  # expected-code command...
  want=$1; shift
  "$@" >"$ROOT/out" 2>"$ROOT/err"; rc=$?
  [ "$rc" -eq "$want" ] || fail "$* gave $rc, not $want: $(cat "$ROOT/err")"
}

expect_rc 1 "$KVXCTL"
expect_rc 1 "$KVXCTL" frobnicate
expect_rc 2 "$KVXCTL" info
expect_rc 0 "$KVXCTL" install
grep -q 'device \\\\.\\KvxScan0' "$ROOT/out" || fail "install did not report the device: $(cat "$ROOT/out")"
[ -f "$ROOT/drives/c/WINDOWS/System32/drivers/KvxScan.sys" ] || ls -R "$ROOT/drives/c" | grep -qi kvxscan.sys || fail "module not placed"
expect_rc 0 "$KVXCTL" list
grep -q 'USB\\VID_1A2B&PID_0C01' "$ROOT/out" || fail "list: $(cat "$ROOT/out")"
expect_rc 0 "$KVXCTL" regs 0 4
[ "$(cat "$ROOT/out")" = "4b 56 12 01" ] || fail "identity registers: $(cat "$ROOT/out")"
expect_rc 1 "$KVXCTL" regs 0 0
expect_rc 3 "$KVXCTL" regs 0xFC 8
expect_rc 0 "$KVXCTL" info
grep -q '^device descriptor        12 01 10 01' "$ROOT/out" || fail "info: $(cat "$ROOT/out")"
expect_rc 0 "$KVXCTL" pipes
expect_rc 0 "$KVXCTL" vendor 0xC0 1 0 0 8
[ "$(cat "$ROOT/out")" = "4b 56 58 2d 53 31 30 30" ] || fail "vendor: $(cat "$ROOT/out")"
expect_rc 0 "$KVXCTL" vendor --ms 0xC0 1 0 0 8
expect_rc 3 "$KVXCTL" vendor 0x80 1 0 0 8
expect_rc 0 "$KVXCTL" write -x 1,2,3
expect_rc 3 "$KVXCTL" wait 50
expect_rc 0 "$KVXCTL" wait --button
[ "$(cut -c1-2 "$ROOT/out")" = "02" ] || fail "scan-done event: $(cat "$ROOT/out")"
expect_rc 0 "$KVXCTL" cancel 3
expect_rc 3 "$KVXCTL" cancel 9
expect_rc 0 "$KVXCTL" scan -o "$ROOT/page.png" --width 200 --lines 100
head -c 8 "$ROOT/page.png" | od -An -tx1 | grep -q '89 50 4e 47 0d 0a 1a 0a' || fail "not a PNG"
expect_rc 4 "$KVXCTL" scan -o "$ROOT/no/such/folder/page.png" --width 10 --lines 10
expect_rc 0 "$KVXCTL" uninstall
expect_rc 2 "$KVXCTL" info
echo "kvxctl: all good"
