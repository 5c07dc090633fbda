#!/bin/bash
# Files per second of `facet info` over a collection of small generated meshes, against
# running `facet info` once per file.
#
# usage: bench/tools/collection_bench.sh BUILD_DIR [FILES] [FACES_PER_FILE]
# BUILD_DIR holds src/facet and bench/bench_generate_mesh (configure with
# -DSPRINGDROP_BENCH=ON). FILES defaults to 10000, FACES_PER_FILE to 2000.
set -euo pipefail
build=${1:?give the build folder}
files=${2:-10000}
faces=${3:-2000}
facet=$build/src/facet
generate=$build/bench/bench_generate_mesh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A hundred distinct meshes, each copied to make up the collection, in folders of 1000.
distinct=100
for seed in $(seq 1 $distinct); do "$generate" "$faces" "$work/seed-$seed.ply" --seed "$seed" > /dev/null; done
for i in $(seq 0 $((files - 1))); do
    folder=$work/meshes/$((i / 1000))
    mkdir -p "$folder"
    cp "$work/seed-$((i % distinct + 1)).ply" "$folder/mesh-$i.ply"
done

echo "machine: $(nproc) cores; $(uptime)"
start=$(date +%s.%N)
"$facet" info "$work/meshes" --json > "$work/collection.jsonl" || true
end=$(date +%s.%N)
collection=$(echo "$end - $start" | bc)
start=$(date +%s.%N)
find "$work/meshes" -name '*.ply' -print0 | sort -z | xargs -0 -n1 "$facet" info --json > "$work/each.jsonl" || true
end=$(date +%s.%N)
each=$(echo "$end - $start" | bc)
echo "files: $files of $faces faces; lines: $(wc -l < "$work/collection.jsonl") and $(wc -l < "$work/each.jsonl")"
printf 'one facet info over the folder: %.2f s, %.0f files/s\n' "$collection" "$(echo "$files / $collection" | bc -l)"
printf 'facet info once per file:       %.2f s, %.0f files/s\n' "$each" "$(echo "$files / $each" | bc -l)"
