# Shared by the Wine benchmark scripts (sourced): figures of the driver kept per name, and
# their table at the end. Set RESULTS to the file that collects them.

# Shows a driver's output but the pages it passes, and keeps its "RESULT name value" figures
# in $RESULTS, their names prefixed with $1.
keep() {
  tr -d '\r' | while IFS= read -r line; do
    case "$line" in
      RESULT\ *) echo "$1${line#RESULT }" >>"$RESULTS" ;;
      *Sheet) continue ;;
    esac
    echo "$line"
  done
}

# The machine, for the table's heading.
machine() {
  echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(free -g | awk '/^Mem:/ {print $2}') GB, $(/usr/lib/wine/wine64 --version), load $(cut -d' ' -f1-3 /proc/loadavg)"
}

# Median, minimum and maximum of every figure kept, in the order they first came.
summarize() {
  python3 - "$RESULTS" <<'PY'
import statistics, sys
series = {}
for line in open(sys.argv[1]):
    name, value = line.split()
    series.setdefault(name, []).append(float(value))
print("\n%-40s %10s %10s %10s %5s" % ("figure", "median", "min", "max", "runs"))
for name, v in series.items():
    print("%-40s %10.1f %10.1f %10.1f %5d" % (name, statistics.median(v), min(v), max(v), len(v)))
PY
}

# Median of figure $1 over median of figure $2; with as many values of both, taken in the same
# rounds, also the median of the rounds' own ratios, which a slow moment of the machine moves
# less (both programs of a round meet the same moment).
ratio() {
  python3 - "$RESULTS" "$1" "$2" <<'PY'
import statistics, sys
v = {}
for line in open(sys.argv[1]):
    name, value = line.split()
    v.setdefault(name, []).append(float(value))
a, b = v.get(sys.argv[2]), v.get(sys.argv[3])
if a and b:
    line = "%s / %s, medians: %.2f" % (sys.argv[2], sys.argv[3], statistics.median(a) / statistics.median(b))
    if len(a) == len(b):
        line += ", median of the rounds' ratios: %.2f" % statistics.median(x / y for x, y in zip(a, b))
    print(line)
PY
}
