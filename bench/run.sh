#!/usr/bin/env bash
# Whole-run benchmarks: builds kerf (Release), writes a tree of realistic
# Prefetch files once (cached in bench/tree), then times complete bulk runs of
# the built kerf with /usr/bin/time -v and reports the median wall time, files
# per second, decoded megabytes per second and peak resident memory, on one
# decoding thread and on every core. Fails when writing the -html page takes
# more than twice the processor time of -csv for the same files (processor
# time, not wall time: on a machine shared with other work, wall times of
# short runs wander by half).
#
#   bench/run.sh [REPETITIONS=5]
#
# Environment: BENCH_FILES (10000), BENCH_FOLDERS (100), BENCH_TREE (folder
# of the tree, default bench/tree), BUILD (build folder, default build), KERF
# (the program to time, default BUILD/kerf; e.g. an older build to compare),
# BENCH_CARVE_MIB (size of the file the carving runs scan, default 1024).
set -euo pipefail
cd "$(dirname "$0")/.."

repetitions=${1:-5}
files=${BENCH_FILES:-10000}
folders=${BENCH_FOLDERS:-100}
tree=${BENCH_TREE:-bench/tree}
build=${BUILD:-build}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kerf-bench-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

[ -x /usr/bin/time ] || { echo "bench/run.sh needs /usr/bin/time (Debian package: time)" >&2; exit 1; }

make build BUILD="$build" >/dev/null

stamp="${tree%/}.stats"
if [ ! -f "$stamp" ] || ! grep -qx "files $files" "$stamp"; then
  echo "== writing $files files in $folders folders to $tree"
  rm -rf "$tree" "$stamp"
  "$build/tools/make_bench_tree" "$tree" "$files" "$folders" 1
fi
decoded=$(awk '$1 == "decoded_bytes" { print $2 }' "$stamp")
on_disk=$(awk '$1 == "file_bytes" { print $2 }' "$stamp")

kerf=${KERF:-$build/kerf}
echo "== $("$kerf" -h 2>&1 | sed -n 3p) on $(uname -m), $(nproc) cores: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "== tree: $files files, $((on_disk / 1048576)) MiB on disk, $((decoded / 1048576)) MiB decoded"
printf '%-34s %10s %10s %12s %12s\n' "run" "wall s" "files/s" "decoded MB/s" "peak RSS MiB"

declare -A medians      # label -> median wall time
declare -A cpu_medians  # label -> median user + system time

# Runs one command REPETITIONS times; prints the median wall time and the
# largest peak RSS. The page cache is warm after the first run. Each run starts
# without the previous run's output and with its pages written back, so no run
# pays for emptying or flushing the output of the one before it.
measure() {
  local label=$1
  shift
  local walls=() cpus=() rss=0
  for ((i = 0; i < repetitions; i++)); do
    rm -f "$scratch/results.txt" "$scratch/stdout.txt"
    sync
    /usr/bin/time -v -o "$scratch/time.txt" bash -c "$*" >/dev/null 2>"$scratch/err.txt" || true
    local wall kb
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (k = 1; k <= n; k++) s = s * 60 + p[k]; print s }' "$scratch/time.txt")
    kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$scratch/time.txt")
    walls+=("$wall")
    cpus+=("$(awk -F': ' '/(User|System) time \(seconds\)/ { s += $2 } END { print s }' "$scratch/time.txt")")
    ((kb > rss)) && rss=$kb
  done
  local median
  median=$(printf '%s\n' "${walls[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
  medians[$label]=$median
  cpu_medians[$label]=$(printf '%s\n' "${cpus[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
  awk -v label="$label" -v wall="$median" -v files="$files" -v decoded="$decoded" -v rss="$rss" 'BEGIN {
    printf "%-34s %10.3f %10.0f %12.1f %12.1f\n", label, wall, files / wall, decoded / 1e6 / wall, rss / 1024 }'
}

# Every layout on one decoding thread and on every core; then the memory a
# many-threaded run holds (its results wait in input order).
cores=$(nproc)
for layout in "" -csv -csvl2t -bodyfile -json -timesketch -html; do
  name=${layout:-long-form}
  for threads in 1 "$cores"; do
    measure "$name -threads $threads -out" "$kerf -enumdir $tree -num_subdirs 1 $layout -threads $threads -quiet -out $scratch/results.txt"
    measure "$name -threads $threads > file" "$kerf -enumdir $tree -num_subdirs 1 $layout -threads $threads -quiet > $scratch/stdout.txt"
  done
done
for threads in 1 "$cores"; do
  measure "find | -pipe -csv -threads $threads" "find $tree -name '*.pf' | $kerf -pipe -csv -threads $threads -quiet > $scratch/stdout.txt"
done
measure "long-form -threads 8 > file" "$kerf -enumdir $tree -num_subdirs 1 -threads 8 -quiet > $scratch/stdout.txt"
measure "-csv -verify > file" "$kerf -enumdir $tree -num_subdirs 1 -csv -verify -quiet > $scratch/stdout.txt"

# The page holds every loaded file and directory of every file, escaped for
# HTML; it may cost at most twice what the CSV table of the same files costs.
# Told, not enforced: a benchmark on a shared machine is no pass/fail test.
for threads in 1 "$cores"; do
  label="-threads $threads -out"
  html_cpu=${cpu_medians["-html $label"]}
  csv_cpu=${cpu_medians["-csv $label"]}
  if awk -v h="$html_cpu" -v c="$csv_cpu" 'BEGIN { exit !(h <= 2 * c) }'; then verdict=ok; else verdict="TOO SLOW"; fi
  awk -v h="$html_cpu" -v c="$csv_cpu" -v hw="${medians["-html $label"]}" -v cw="${medians["-csv $label"]}" \
      -v t="$threads" -v v="$verdict" 'BEGIN {
    printf "== -html / -csv, -threads %s, to a results file: processor time %.2f (at most 2): %s; wall time %.2f\n",
           t, h / c, v, hw / cw }'
done

# Disk images: the first BENCH_IMAGE_FILES (1000) files of the tree in
# \Windows\Prefetch of an NTFS partition of a sparse 8 GiB raw disk, and its
# E01 (made once, cached in bench/image), against the same files loose. The
# time must grow with the number of Prefetch files, not with the image's
# size; -profile tells the bytes read from the image.
image_files=${BENCH_IMAGE_FILES:-1000}
images=bench/image
image_stamp="$images/stats"
if [ ! -f "$image_stamp" ] || ! grep -qx "files $image_files" "$image_stamp"; then
  echo "== writing an 8 GiB sparse disk image with $image_files Prefetch files, and its E01, to $images"
  rm -rf "$images"
  mkdir -p "$images"
  "$build/tools/make_bench_image" "$tree" "$images/disk.raw" "$images/loose" "$image_files" 8
  ewfacquire -u -q -t "$images/disk" -c fast -S 4GiB -f encase6 -C kerf -D "kerf bench image" -E 1 -e kerf \
             -N none "$images/disk.raw" >/dev/null
  echo "files $image_files" > "$image_stamp"
fi
echo "== disk images: $image_files files, raw $(du -h --apparent-size "$images/disk.raw" | cut -f1) sparse" \
     "($(du -h "$images/disk.raw" | cut -f1) on disk), E01 $(du -ch "$images"/disk.E0* | tail -1 | cut -f1)"
files=$image_files
decoded=0  # not counted for the image runs: their decoded MB/s column reads 0
for threads in 1 "$cores"; do
  measure "loose -json -threads $threads" "$kerf -enumdir $images/loose -json -threads $threads -quiet -out $scratch/results.txt"
  measure "raw image -json -threads $threads" "$kerf -image $images/disk.raw -json -threads $threads -quiet -out $scratch/results.txt"
  measure "E01 image -json -threads $threads" "$kerf -image $images/disk.E01 -json -threads $threads -quiet -out $scratch/results.txt"
done
for image in disk.raw disk.E01; do
  read_bytes=$("$kerf" -image "$images/$image" -json -profile -out "$scratch/results.txt" 2>&1 | awk '/bytes read from disk images/ { print substr($1, 3) }')
  echo "== $image: $read_bytes bytes read from the image for $image_files files"
done
for threads in 1 "$cores"; do
  awk -v l="${medians["loose -json -threads $threads"]}" -v r="${medians["raw image -json -threads $threads"]}" -v t="$threads" 'BEGIN {
    printf "== raw image / loose files, -threads %s: %.2f of the loose-file rate (target: at least 0.5)\n", t, l / r }'
done

# Shadow copies: a 1 GiB volume whose \Windows\Prefetch holds 1000 files,
# with 3 stores in each of which a third of the files held other bytes. The
# time for S stores should be about S + 1 times the live volume's alone.
shadows="$images/shadows.raw"
if [ ! -f "$shadows" ]; then
  echo "== writing a volume with $image_files Prefetch files and 3 shadow-copy stores to $shadows"
  "$build/tools/make_bench_shadows" "$tree" "$shadows" "$image_files" 3 1024
fi
measure "live volume -json -threads $cores" "$kerf -image $shadows -json -quiet -out $scratch/results.txt"
measure "live + 3 stores -json -threads $cores" "$kerf -image $shadows -vss -json -quiet -out $scratch/results.txt"
for vss in "" -vss; do
  read_bytes=$("$kerf" -image "$shadows" $vss -json -profile -out "$scratch/results.txt" 2>&1 | awk '/bytes read from disk images/ { print substr($1, 3) }')
  echo "== shadows.raw ${vss:-(live only)}: $read_bytes bytes read"
done

# Carving: a whole file scanned as one stream of bytes for Prefetch data,
# against grep looking for the plain image's signature alone in the same
# bytes. BENCH_CARVE_MIB (1024) MiB of random bytes, like a disk's free
# clusters, read once first so that every run reads from the page cache. The
# scan should keep up with grep on one thread.
carve_mib=${BENCH_CARVE_MIB:-1024}
carve="$scratch/carve.bin"
echo "== carving: $carve_mib MiB of random bytes"
"$build/tools/make_carve_data" random "$carve" "$carve_mib" 1
cat "$carve" >/dev/null
files=0  # the files/s column reads 0 for the carving runs
decoded=$((carve_mib * 1048576))  # the decoded MB/s column reads the bytes scanned per second
measure "grep -c SCCA" "grep -c SCCA $carve"
carve_labels=("grep -c SCCA")
carve_check=$("$kerf" -carve "$carve" -csv -quiet 2>&1 >/dev/null || true)
if [[ $carve_check == *"unknown option"* ]]; then
  echo "== $kerf has no -carve option: its carving runs are left out"
else
  for threads in 1 "$cores"; do
    measure "-carve -csv -threads $threads" "$kerf -carve $carve -csv -quiet -threads $threads > $scratch/stdout.txt"
    carve_labels+=("-carve -csv -threads $threads")
  done
fi
line="== carving MB/s:"
for label in "${carve_labels[@]}"; do
  line+=$(awk -v l="$label" -v w="${medians[$label]}" -v b="$decoded" 'BEGIN { printf " %s %.0f;", l, b / 1e6 / w }')
done
echo "${line%;}"
