#!/usr/bin/env bash
# The set-up scripts: compiler-warnings keeps a warning beside its object until a clean compile
# of that object and fails the check only for objects the build still has; ensure-deps reads
# the sections of the package list and, without a way to become root, names the command.
# usage: scripts_test.sh SCRIPTS_DIR
set -uo pipefail
scripts=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/zovex-scripts-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
cw=$scripts/compiler-warnings

# --- compiler-warnings -------------------------------------------------------------------
build=$work/build
mkdir -p "$build/src"
cd "$build"
compile() { # compile OBJECT SOURCE_TEXT: through the launcher, as the build does
  printf '%s\n' "$2" > "$work/$1.cpp"
  "$cw" record "src/$1.o" -- c++ -Wall -c "$work/$1.cpp" -o "src/$1.o" 2>/dev/null
}
compile_commands() { # the build's compile_commands.json for these objects
  { echo '['
    for o in "$@"; do
      printf '{\n  "directory": "%s",\n  "command": "/usr/bin/c++ -Wall -o src/%s.o -c %s",\n  "file": "%s"\n},\n' \
        "$build" "$o" "$work/$o.cpp" "$work/$o.cpp"
    done
    echo ']'; } > "$build/compile_commands.json"
}

compile a 'int a() { int unused = 0; return 1; }' || fail "a compile with a warning failed"
[ -s src/a.o.warnings ] && grep -q 'unused' src/a.o.warnings || fail "the warning of a.o was not kept"
compile b 'int b() { return 2; }' || fail "a clean compile failed"
[ ! -e src/b.o.warnings ] || fail "a clean compile left a warnings file"
compile c '#pragma message "only a note"
int c() { return 3; }' || fail "a compile with a note failed"
[ ! -e src/c.o.warnings ] || fail "a note alone was kept as a warning"
compile_commands a b c
"$cw" check "$build" 2>"$work/check.log" && fail "the check passed a build with a warning"
grep -q 'unused' "$work/check.log" || fail "the check did not show the warning"

# The same object compiled cleanly: its warning is gone, and so is the failure.
compile a 'int a() { return 1; }'
[ ! -e src/a.o.warnings ] || fail "a clean compile kept the earlier warning"
"$cw" check "$build" 2>"$work/check.log" || fail "the check failed a clean build: $(cat "$work/check.log")"

# A failed compile keeps no warning (it is compiled again), and returns the compiler's failure.
compile d 'int d() { int unused = 0; return x; }' && fail "a failing compile succeeded"
[ ! -e src/d.o.warnings ] || fail "a failed compile left a warnings file"

# A warning of an object the build no longer has (its source was removed) does not count.
compile e 'int e() { int unused = 0; return 5; }'
[ -s src/e.o.warnings ] || fail "the warning of e.o was not kept"
"$cw" check "$build" 2>/dev/null || fail "a warning of an object outside the build failed the check"
compile_commands a b c e
"$cw" check "$build" 2>/dev/null && fail "the check passed a warning of an object in the build"
cd "$work"

# --- ensure-deps --------------------------------------------------------------------------
# A copy beside a list of its own. Installed packages are named by what dpkg says is installed.
mkdir -p "$work/deps"
cp "$scripts/ensure-deps" "$work/deps/"
installed=$(dpkg-query -W -f='${db:Status-Status} ${Package}\n' 2>/dev/null | awk '$1 == "installed" { print $2 }' | head -2)
set -- $installed
# What cannot be run here is skipped, unless what ran before it failed.
skip() {
  [ "$failures" -eq 0 ] || { echo "$failures script checks failed" >&2; exit 1; }
  echo "SKIP: $*"; exit 77
}
if [ $# -lt 2 ]; then
  skip "dpkg knows no installed packages here"
fi
one=$1 two=$2
missing_run=zovex-test-missing-run missing_test=zovex-test-missing-test
cat > "$work/deps/packages.txt" <<EOF
# a comment
[build and run]
$one   # after a name
$missing_run

[tests]
  $two
$missing_test
EOF
# Run as nobody without a terminal: it must not try to install, only name the command.
as_nobody() {
  if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null 2>&1; then
    setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
  elif [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null 2>&1; then
    "$@"
  else
    return 77
  fi
}
chmod -R a+rX "$work"
out=$(as_nobody bash "$work/deps/ensure-deps" </dev/null 2>&1); rc=$?
if [ $rc -eq 77 ]; then
  skip "cannot run ensure-deps as a user without a way to become root (the compiler-warnings checks passed)"
fi
[ $rc -eq 1 ] || fail "ensure-deps with a missing package exited $rc"
[[ $out == *"apt-get install $missing_run"* ]] || fail "ensure-deps did not name the command: $out"
[[ $out == *"$missing_test"* ]] && fail "ensure-deps without --tests wanted a package of the tests: $out"
out=$(as_nobody bash "$work/deps/ensure-deps" --tests </dev/null 2>&1)
[[ $out == *"apt-get install $missing_run $missing_test"* ]] || fail "ensure-deps --tests did not name both: $out"
[[ $out == *" $one"* || $out == *" $two"* ]] && fail "ensure-deps named an installed package: $out"

printf '[build and run]\n%s\n[tests]\n%s\n' "$one" "$two" > "$work/deps/packages.txt"
as_nobody bash "$work/deps/ensure-deps" --tests </dev/null || fail "ensure-deps failed with everything installed"
printf '[build and run]\n%s\n[test]\n%s\n' "$one" "$two" > "$work/deps/packages.txt"
out=$(as_nobody bash "$work/deps/ensure-deps" --tests </dev/null 2>&1) && fail "an unknown section passed"
[[ $out == *"unknown section [test]"* ]] || fail "an unknown section was not named: $out"
printf '%s\n[tests]\n%s\n' "$one" "$two" > "$work/deps/packages.txt"
as_nobody bash "$work/deps/ensure-deps" </dev/null 2>/dev/null && fail "a name before any section passed"

# The project's own list: both sections there, no name twice.
names=$(grep -vE '^\s*(#|\[|$)' "$scripts/packages.txt" | sed 's/#.*//; s/[[:space:]]//g')
[ -z "$(sort <<<"$names" | uniq -d)" ] || fail "packages.txt names $(sort <<<"$names" | uniq -d | tr '\n' ' ')twice"
grep -qx '\[build and run\]' "$scripts/packages.txt" && grep -qx '\[tests\]' "$scripts/packages.txt" \
  || fail "packages.txt lacks one of its sections"

[ "$failures" -eq 0 ] || { echo "$failures script checks failed" >&2; exit 1; }
echo "script checks passed"
