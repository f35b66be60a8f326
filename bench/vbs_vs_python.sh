#!/bin/sh
# Times three small programs in the VBScript engine (tool_vbsrun) and in python3, same run.
# usage: bench/vbs_vs_python.sh [BUILD_DIR]   (a Release build with -DVK_BUILD_BENCH=ON)
set -eu
BUILD=${1:-/work/main/build-vbs-rel}
RUN="$BUILD/bench/tool_vbsrun"
[ -x "$RUN" ] || { echo "missing $RUN (build target tool_vbsrun)" >&2; exit 2; }
command -v python3 >/dev/null || { echo "python3 not found" >&2; exit 2; }
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT

cat > "$DIR/loop.vbs" <<'VBS'
s = 0
For i = 1 To 10000000
  s = s + i Mod 7
  If s > 1000000 Then s = s - 1000000
Next
Out s
VBS
cat > "$DIR/loop.py" <<'PY'
s = 0
for i in range(1, 10000001):
    s = s + i % 7
    if s > 1000000:
        s = s - 1000000
print(s)
PY

cat > "$DIR/concat.vbs" <<'VBS'
t = ""
For i = 1 To 100000
  t = t & "x"
Next
Out Len(t)
VBS
cat > "$DIR/concat.py" <<'PY'
t = ""
for i in range(1, 100001):
    t = t + "x"
print(len(t))
PY

cat > "$DIR/calls.vbs" <<'VBS'
Function AddOne(n)
  AddOne = n + 1
End Function
x = 0
For i = 1 To 1000000
  x = AddOne(x)
Next
Out x
VBS
cat > "$DIR/calls.py" <<'PY'
def add_one(n):
    return n + 1
x = 0
for i in range(1, 1000001):
    x = add_one(x)
print(x)
PY

now() { date +%s.%N; }
timeit() {  # prints "seconds output"
  t0=$(now); out=$("$@"); t1=$(now)
  echo "$(echo "$t1 - $t0" | bc -l | awk '{printf "%.3f", $1}') $out"
}

printf '%-8s %12s %12s %s\n' test vbs_s python_s outputs
for t in loop concat calls; do
  v=$(timeit "$RUN" "$DIR/$t.vbs")
  p=$(timeit python3 "$DIR/$t.py")
  printf '%-8s %12s %12s %s / %s\n' "$t" "${v%% *}" "${p%% *}" "${v#* }" "${p#* }"
done
