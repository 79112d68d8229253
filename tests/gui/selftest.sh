#!/bin/sh
# Runs the program in self-test mode under Xvfb, as CI does, and fails unless
# the whole script ran with every check passing.
# Usage: selftest.sh PROGRAM ASSET_DIR
set -u
prog=$1
work=$(mktemp -d)   # private: the scratch files go nowhere another user prepared
trap 'rm -rf "$work"' EXIT
mkdir "$work/tmp" "$work/config"
# A link planted under a scratch name must be replaced, not followed.
echo keep >"$work/victim"
ln -s "$work/victim" "$work/tmp/vorlix_autotest_drop.prg"
start=$(date +%s.%N)
TMPDIR="$work/tmp" XDG_CONFIG_HOME="$work/config" APPDATA= VORLIX_ASSETS="$2" VORLIX_AUTOTEST=1 \
    xvfb-run -a -s "-screen 0 1600x1000x24" "$prog" >"$work/out.txt" 2>"$work/err.txt"
code=$?
end=$(date +%s.%N)
cat "$work/out.txt"
echo "self-test run: $(awk "BEGIN{printf \"%.2f\", $end - $start}") s, exit code $code"
expected="AUTOTEST: 99 steps
AUTOTEST: 29 checks, 0 failures"
if [ "$code" -ne 0 ] || [ "$(cat "$work/out.txt")" != "$expected" ]; then
    cat "$work/err.txt"
    exit 1
fi
[ "$(cat "$work/victim")" = keep ] || { echo "self-test wrote through a planted link"; exit 1; }
[ -z "$(find "$work/config" -type f)" ] || { echo "self-test wrote settings or layout"; exit 1; }
exit 0
