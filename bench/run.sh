#!/usr/bin/env bash
# Measures shrinkdir against driving optipng by hand, on this machine, and
# writes docs/benchmarks.md and docs/bench-workers.png.
#
#   bench/run.sh              the whole benchmark (about ten minutes on 2 cores)
#   RUNS=3 ICONS=100 bench/run.sh   a quicker, rougher one
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/common.sh"

RUNS=${RUNS:-5}            # runs per configuration; the median is reported
ICONS=${ICONS:-300}        # PNG icons taken from the Tango icon theme
LEVEL=${LEVEL:-2}
OVERHEAD_FILES=${OVERHEAD_FILES:-2000}
SCALE_FILES=${SCALE_FILES:-20000}
START_PAUSE=0.5            # every worker waits this long before its first file

install_missing "${BUILD_PACKAGES[@]}" parallel tango-icon-theme imagemagick gnuplot-nox time bc
cmake --preset release -S "$root" >/dev/null
cmake --build "$root/build/release" --target shrinkdir -j"$(nproc)" >/dev/null
shrinkdir=$root/build/release/shrinkdir
cores=$(nproc)
flags=(-q -np -nb -nc -i0 "-o$LEVEL")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- The corpus: real icons, plus PNG and BMP files of several sizes --------
source_dir=$work/source
mkdir "$source_dir"
i=0
while IFS= read -r icon; do
  cp "$icon" "$source_dir/$(printf 'icon%04d' "$i")-$(basename "$icon")"
  i=$((i + 1))
done < <(find /usr/share/icons/Tango -name '*.png' | sort | head -n "$ICONS")
for size in 128 256 512; do
  for seed in 1 2; do
    convert -seed "$seed" -size "${size}x${size}" plasma:fractal -define png:compression-level=1 \
      "$source_dir/plasma-$size-$seed.png"
    convert -seed "$seed" -size "${size}x${size}" plasma:fractal BMP3:"$source_dir/bitmap-$size-$seed.bmp"
  done
done
corpus_files=$(find "$source_dir" -type f | wc -l)
corpus_bytes=$(du -sb "$source_dir" | cut -f1)
corpus=$work/corpus

restore_corpus() {
  rm -rf "$corpus"
  cp -a "$source_dir" "$corpus"
  # The lists are made before the run: optipng writes a PNG beside each BMP.
  (cd "$corpus" && find "$PWD" -maxdepth 1 -type f \( -name '*.bmp' -o -name '*.png' \) -print0 | sort -z) \
    >"$work/list"
  # shrinkdir's own order: the BMPs, then the PNGs, each as the directory lists them.
  (cd "$corpus" && find "$PWD" -maxdepth 1 -type f -iname '*.bmp' -print0 &&
    find "$PWD" -maxdepth 1 -type f -iname '*.png' -print0) >"$work/order"
}

# Runs "$@" under GNU time; appends "wall cpu peak_kib" to $work/times/$name.
measure() {
  local name=$1
  shift
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>&1 || true
  read -r wall user system peak <"$work/time"
  echo "$wall $(echo "$user + $system" | bc -l) $peak" >>"$work/times/$name"
}

median() {  # column of a file
  awk -v c="$2" '{print $c}' "$1" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'
}

workers=$(printf '%s\n' 1 2 "$cores" | sort -n -u)
mkdir -p "$work/times"

# --- Real work: alternating runs, the corpus restored before each ------------
for run in $(seq "$RUNS"); do
  echo "real work: run $run of $RUNS" >&2
  for t in $workers; do
    restore_corpus; measure "shrinkdir-$t" "$shrinkdir" "$corpus/" "$t" "$LEVEL"
    restore_corpus; measure "xargs-$t" xargs -0 -a "$work/list" -P "$t" -n 1 optipng "${flags[@]}"
    restore_corpus; measure "parallel-$t" parallel -0 -a "$work/list" -j "$t" optipng "${flags[@]}" {}
  done
  restore_corpus; measure "sequential-1" xargs -0 -a "$work/list" optipng "${flags[@]}"
  # What shrinkdir does by design, by hand: each file through sh, in its order.
  restore_corpus; measure "xargs-sh-order-$cores" xargs -0 -a "$work/order" -P "$cores" -n 1 \
    sh -c 'optipng -q -np -nb -nc -i0 -o'"$LEVEL"' "$1"' sh
done

# --- Per-file overhead: a tool that does nothing -----------------------------
noop=$work/noop
mkdir -p "$noop/bin" "$noop/files"
ln -s /bin/true "$noop/bin/optipng"
(cd "$noop/files" && seq -f 'f%05g.png' "$OVERHEAD_FILES" | xargs touch)
(cd "$noop/files" && find "$PWD" -name '*.png' -print0) >"$work/noop-list"
for run in $(seq "$RUNS"); do
  echo "per-file overhead: run $run of $RUNS" >&2
  PATH=$noop/bin:$PATH measure "overhead-shrinkdir" "$shrinkdir" "$noop/files/" "$cores" "$LEVEL"
  PATH=$noop/bin:$PATH measure "overhead-xargs" xargs -0 -a "$work/noop-list" -P "$cores" -n 1 \
    sh -c 'optipng -q -np -nb -nc -i0 -o'"$LEVEL"' "$1"' sh
done

# --- Scale: many files, the same do-nothing tool --------------------------------
rm -rf "$noop/files" && mkdir "$noop/files"
(cd "$noop/files" && seq -f 'f%05g.png' "$SCALE_FILES" | xargs touch)
echo "scale: $SCALE_FILES files" >&2
PATH=$noop/bin:$PATH measure "scale-shrinkdir" "$shrinkdir" "$noop/files/" "$cores" "$LEVEL"

# --- Report --------------------------------------------------------------------
docs=$root/docs
mkdir -p "$docs"
row() {  # name label workers
  local f=$work/times/$1
  printf '| %s | %s | %.2f | %.2f | %.1f |\n' "$2" "$3" "$(median "$f" 1)" "$(median "$f" 2)" \
    "$(echo "$(median "$f" 3) / 1024" | bc -l)"
}
ratio() { echo "$1 / $2" | bc -l | xargs printf '%.3f'; }
verdict() { if [ "$(echo "$1 <= $2" | bc -l)" -eq 1 ]; then echo "met"; else echo "missed"; fi; }

x_wall=$(median "$work/times/xargs-$cores" 1)
s_wall=$(median "$work/times/shrinkdir-$cores" 1)
real_ratio=$(ratio "$s_wall" "$(echo "$x_wall * 1.03 + $START_PAUSE" | bc -l)")
o_files=$OVERHEAD_FILES
s_ms=$(echo "$(median "$work/times/overhead-shrinkdir" 1) * 1000 / $o_files" | bc -l)
s_ms_net=$(echo "($(median "$work/times/overhead-shrinkdir" 1) - $START_PAUSE) * 1000 / $o_files" | bc -l)
x_ms=$(echo "$(median "$work/times/overhead-xargs" 1) * 1000 / $o_files" | bc -l)
scale_wall=$(median "$work/times/scale-shrinkdir" 1)
scale_mib=$(echo "$(median "$work/times/scale-shrinkdir" 3) / 1024" | bc -l)

{
  echo "# Benchmarks"
  echo
  echo "Made by \`bench/run.sh\` on $(date -u +%Y-%m-%d). Rerun it to measure your own machine."
  echo
  echo "- Machine: $cores cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')),"
  echo "  $(free -g | awk '/Mem:/ {print $2}') GiB, $(uname -sr)"
  echo "- $(optipng -v | head -n 1); $(xargs --version | head -n 1); $(parallel --version | head -n 1)"
  echo "- shrinkdir $(git -C "$root" describe --always --dirty 2>/dev/null || echo unknown), level $LEVEL"
  echo "- Corpus: $corpus_files files, $corpus_bytes bytes: $ICONS PNG icons of the Tango icon theme"
  echo "  (16 to 32 pixels) and 12 generated plasma images, PNG and BMP, 128 to 512 pixels square."
  echo "- Each figure is the median of $RUNS runs; configurations alternate, and the corpus is"
  echo "  restored before every run. CPU is user + system time of the command and its children;"
  echo "  peak RSS is that of the largest single process (GNU time's %M)."
  echo
  echo "## Real work"
  echo
  echo "| command | workers | wall (s) | CPU (s) | peak RSS (MiB) |"
  echo "|---|---|---|---|---|"
  for t in $workers; do
    row "shrinkdir-$t" "shrinkdir DIR/ $t $LEVEL" "$t"
    row "xargs-$t" "xargs -P $t -n 1 optipng" "$t"
    row "parallel-$t" "parallel -j $t optipng" "$t"
  done
  row "sequential-1" "one optipng over all files" 1
  row "xargs-sh-order-$cores" "xargs -P $cores sh -c 'optipng ...', shrinkdir's order" "$cores"
  echo
  echo "The last row does by hand what shrinkdir does by design: one \`sh -c\` per file, BMP files"
  echo "first and then PNG files, each in directory order. Against it, shrinkdir less its start"
  echo "pause takes $(ratio "$(echo "$(median "$work/times/shrinkdir-$cores" 1) - $START_PAUSE" | bc -l)" \
    "$(median "$work/times/xargs-sh-order-$cores" 1)") of the time."
  echo
  echo "![Wall time against workers](bench-workers.png)"
  echo
  echo "## Per-file overhead"
  echo
  echo "$o_files empty files, with a do-nothing \`optipng\` (/bin/true) first on PATH, $cores workers."
  echo
  echo "| command | ms per file |"
  echo "|---|---|"
  printf '| shrinkdir | %.3f (%.3f without the %s s start pause) |\n' "$s_ms" "$s_ms_net" "$START_PAUSE"
  printf "| xargs -P %s -n 1 sh -c 'optipng ... \"\$1\"' | %.3f |\n" "$cores" "$x_ms"
  echo
  echo "## Scale"
  echo
  printf '%s files with the do-nothing tool, %s workers: %.2f s wall, peak RSS %.1f MiB.\n' \
    "$SCALE_FILES" "$cores" "$scale_wall" "$scale_mib"
  echo
  echo "## Targets"
  echo
  echo "| target | measured | |"
  echo "|---|---|---|"
  printf '| real work: wall ≤ 1.03 × xargs -P %s + %s s | %.2f s against %.2f s (ratio %s) | %s |\n' \
    "$cores" "$START_PAUSE" "$s_wall" "$(echo "$x_wall * 1.03 + $START_PAUSE" | bc -l)" "$real_ratio" \
    "$(verdict "$real_ratio" 1)"
  printf '| per-file overhead ≤ 1.10 × xargs through sh -c | %.3f ms against %.3f ms (ratio %s, %s with the pause) | %s |\n' \
    "$s_ms_net" "$x_ms" "$(ratio "$s_ms_net" "$x_ms")" "$(ratio "$s_ms" "$x_ms")" \
    "$(verdict "$(ratio "$s_ms_net" "$x_ms")" 1.10)"
  printf '| peak RSS ≤ 16 MiB at %s files | %.1f MiB | %s |\n' "$SCALE_FILES" "$scale_mib" \
    "$(verdict "$scale_mib" 16)"
} >"$docs/benchmarks.md"

# Wall time against workers, one line per way of running the tool.
for tool in shrinkdir xargs parallel; do
  for t in $workers; do echo "$t $(median "$work/times/$tool-$t" 1)"; done >"$work/plot-$tool"
done
gnuplot <<PLOT
set terminal pngcairo size 800,500 font ",11"
set output "$docs/bench-workers.png"
set title "Wall time over $corpus_files files (median of $RUNS runs, $cores cores)"
set xlabel "workers"
set ylabel "wall time (s)"
set xtics (${workers//$'\n'/, })
set yrange [0:*]
set key top right
set grid
plot "$work/plot-shrinkdir" with linespoints lw 2 title "shrinkdir", \
     "$work/plot-xargs" with linespoints lw 2 title "xargs -P", \
     "$work/plot-parallel" with linespoints lw 2 title "parallel -j", \
     $(median "$work/times/sequential-1" 1) with lines dashtype 2 title "one sequential optipng"
PLOT
echo "wrote $docs/benchmarks.md and $docs/bench-workers.png" >&2
