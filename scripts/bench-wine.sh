#!/usr/bin/env bash
# Whole export jobs of the Windows build under Wine against the Linux build,
# on the same clip in one run: the 32-bit rozove.exe with the 32-bit module
# under 32-bit Wine where this machine starts 32-bit processes natively
# (never emulated ones: no timing figure comes from emulation), otherwise
# the 64-bit build under 64-bit Wine. Each repetition runs the Linux job, the
# Wine job and Wine's bare start (`rozove.exe info`, which also loads the
# module) one after the other, so that a load on the machine falls on all
# three alike. Prints the medians and the ratio
#   (Wine job - Wine bare start) / Linux job,
# and checks that both builds wrote the same bytes. Wall-clock time is the
# measure; the CPU time of each process is printed beside it, as a figure that
# moves less when other work loads the machine.
# Usage: scripts/bench-wine.sh [REPETITIONS [FRAMES [WxH]]]   (5, 60, 1280x720)
set -euo pipefail
cd "$(dirname "$0")/.."
reps=${1:-5}
frames=${2:-60}
size=${3:-1280x720}

source scripts/wine32-way.sh
way=$(wine32_way)
if [ "$way" = native ]; then
  target=win32 loader=/usr/lib/wine/wine arch=win32
else
  # Emulated 32-bit processes run correctly but many times slower.
  echo "32-bit processes here: $way; measuring the win64 build under 64-bit Wine"
  target=win64 loader=/usr/lib/wine/wine64 arch=win64
fi
for t in linux "$target"; do
  [ -x "build/$t/rozove" ] || [ -f "build/$t/rozove.exe" ] || bash scripts/build.sh "$t"
done

work=build/bench-wine
mkdir -p "$work"
clip="clip_mandelbrot_${size}_${frames}.y4m"
if [ ! -s "$work/$clip" ]; then
  ffmpeg -loglevel error -f lavfi -i "mandelbrot=size=$size:rate=30" -frames:v "$frames" -pix_fmt yuv420p \
    -y "$work/$clip"
fi
# The executables are copied beside the clip: Wine is then given plain
# relative names, with no Unix paths to translate.
cp "build/linux/rozove" "build/linux/zezodav_odevad.so" "$work/"
cp "build/$target/rozove.exe" "build/$target/zezodav_odevad.auo" "$work/"

export WINEPREFIX="$PWD/build/$target/wineprefix-bench" WINEARCH=$arch WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  timeout 300 "$loader" wineboot --init >/dev/null 2>&1 || true
  timeout 120 wineserver -w || true
fi
# One wineserver for the whole run, as on a desktop where Wine is already
# running; stopped again at the end.
wineserver -p 2>/dev/null || true  # it may be running already
trap 'wineserver -k 2>/dev/null || true' EXIT

cd "$work"
timed() {  # timed FILE COMMAND...: runs it quietly; appends "wall user+sys" seconds to FILE
  local file=$1 TIMEFORMAT='%R %U %S'
  shift
  if ! { time timeout 900 "$@" >/dev/null 2>"$file.err"; } 2>"$file.time"; then
    echo "bench-wine: failed: $*" >&2
    cat "$file.err" >&2
    exit 1
  fi
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$file.time" >>"$file"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

"$loader" rozove.exe info >/dev/null 2>&1  # the first start of a prefix is slower
echo "$($loader --version), build/$target/rozove.exe; Linux: build/linux/rozove"
echo "clip: $frames frames of $size (ffmpeg mandelbrot), $reps repetitions; load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-4s %18s %18s %18s\n' rep "Linux job" "Wine job" "Wine bare start"
: >linux.times
: >wine.times
: >start.times
for r in $(seq "$reps"); do
  timed linux.times ./rozove export "$clip" linux.gif
  timed wine.times "$loader" rozove.exe export "$clip" wine.gif
  timed start.times "$loader" rozove.exe info
  printf '%-4s' "$r"
  for f in linux wine start; do printf ' %8s s (cpu %5s)' $(tail -1 $f.times); done
  echo
done
status=0
if cmp -s linux.gif wine.gif; then
  identical="byte-identical files ($(stat -c %s linux.gif) bytes)"
else
  identical="the files DIFFER"
  status=1
fi
column() { awk -v c="$2" '{ print $c }' "$1.times" | median; }
awk -v l="$(column linux 1)" -v w="$(column wine 1)" -v s="$(column start 1)" \
  -v lc="$(column linux 2)" -v wc="$(column wine 2)" -v sc="$(column start 2)" -v id="$identical" 'BEGIN {
  printf "medians, wall: Linux job %.3f s, Wine job %.3f s, Wine bare start %.3f s; %s\n", l, w, s, id
  printf "medians, cpu (user+sys of the process, not of wineserver): %.3f s, %.3f s, %.3f s\n", lc, wc, sc
  printf "ratio (Wine job - bare start) / Linux job: %.2f wall, %.2f cpu (target at most 1.10)\n", (w - s) / l, (wc - sc) / lc
}'
exit $status
