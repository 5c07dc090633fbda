#!/bin/bash
# The whole-program figures of `facet` on one large mesh: time and peak memory of info,
# adjacency and normals on one thread and on every core, each against the time of
# reading the file's bytes from the page cache, and the sha256 of each output at 1, 2
# and 7 threads (they must agree).
#
# usage: bench/tools/facet_scale_table.sh FACET MESH [RUNS]
# FACET is the program to time; MESH a large mesh file (bench_generate_mesh makes one);
# RUNS (default 3) is how often each command runs; the fastest run is shown, as the
# figure least disturbed by the machine's other work.
set -euo pipefail
facet=${1:?give the facet program}
mesh=${2:?give a mesh file}
runs=${3:-3}
cores=$(nproc)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Prints "SECONDS PEAK_KB" of the fastest of `runs` runs of the command.
fastest() {
    local best="" line
    for _ in $(seq "$runs"); do
        /usr/bin/time -f '%e %M' -o "$work/time" "$@" > /dev/null
        line=$(tail -n 1 "$work/time")
        if [ -z "$best" ] || awk -v a="${line% *}" -v b="${best% *}" 'BEGIN { exit !(a < b) }'; then best=$line; fi
    done
    echo "$best"
}

# A / B to two places, or "n/a" when B rounds to nothing.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "n/a" }'; }

cat "$mesh" > /dev/null
counts=$("$facet" info --json --threads "$cores" "$mesh")
vertices=$(echo "$counts" | sed -E 's/.*"vertices": ([0-9]+).*/\1/')
faces=$(echo "$counts" | sed -E 's/.*"faces": ([0-9]+).*/\1/')
mesh_kb=$(((12 * vertices + 12 * faces) / 1024))
# The bytes' own time needs a finer clock than /usr/bin/time's hundredths.
read_seconds=""
for _ in $(seq "$runs"); do
    start=$(date +%s.%N)
    cat "$mesh" > /dev/null
    seconds=$(echo "$(date +%s.%N) - $start" | bc -l)
    if [ -z "$read_seconds" ] || [ "$(echo "$seconds < $read_seconds" | bc -l)" = 1 ]; then read_seconds=$seconds; fi
done
read_seconds=$(printf '%.3f' "$read_seconds")

echo "machine: $cores cores; $(uptime)"
echo "mesh: $mesh, $vertices vertices, $faces faces, mesh data $mesh_kb KB; cat from the page cache: $read_seconds s"
printf '%-10s %7s %9s %9s %12s %8s\n' command threads seconds "x cat" "peak KB" "x data"
for command in info adjacency normals; do
    case $command in
        info) arguments=(info --json) ;;
        adjacency) arguments=(adjacency -o "$work/out.adj") ;;
        normals) arguments=(normals --binary -o "$work/out.ply") ;;
    esac
    one=""
    for threads in 1 "$cores"; do
        result=$(fastest "$facet" "${arguments[@]}" --threads "$threads" "$mesh")
        seconds=${result% *}
        peak=${result#* }
        [ -z "$one" ] && one=$seconds
        printf '%-10s %7s %9s %9s %12s %8s\n' "$command" "$threads" "$seconds" \
            "$(ratio "$seconds" "$read_seconds")" "$peak" "$(ratio "$peak" "$mesh_kb")"
    done
    echo "$command all cores against one: $(ratio "$one" "$seconds")x"
done

echo "sha256 of each output at 1, 2 and 7 threads:"
for command in info adjacency normals; do
    sums=""
    for threads in 1 2 7; do
        case $command in
            info) "$facet" info --json --threads "$threads" "$mesh" > "$work/out" ;;
            adjacency) "$facet" adjacency --threads "$threads" -o "$work/out" "$mesh" ;;
            normals) "$facet" normals --binary --threads "$threads" -o "$work/out.ply" "$mesh" && mv "$work/out.ply" "$work/out" ;;
        esac
        sums="$sums $(sha256sum < "$work/out" | cut -c1-16)"
    done
    echo "  $command:$sums"
done
