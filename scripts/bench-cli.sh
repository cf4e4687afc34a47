#!/usr/bin/env bash
# Whole processes, as users run them: `rozove export` on 1080p clips that
# ffmpeg makes, against a whole-process peer on the same file (giflib_job on
# raw bgr24, ffmpeg's own gray GIF on H.264 mp4). After one warm-up of each
# side, the two run in alternating pairs (A B A B ...); each pair gives the
# ratio rozove / peer of wall and of CPU (user + sys) time, and the table
# shows the median of those ratios (with their lowest and highest: a wide
# range means the machine was busy), the median wall and CPU seconds of each
# side and their peak memory. rozove's outputs must be byte-identical from
# run to run; their sha256 is printed so that later work can compare.
# rozove runs with its default --jobs (one part a core). The jobs cases set
# rozove against itself on the noise file: --jobs 2 against --jobs 1 (the
# wall ratio is the gain from the second core), and --jobs 8 against
# --jobs 1 (the CPU ratio is what eight parts cost over one, as a machine
# with more cores would pay it); their outputs must be the same bytes.
# Usage: scripts/bench-cli.sh [pairs, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
pairs=${1:-5}
case $pairs in '' | *[!0-9]* | 0) echo "usage: $0 [pairs, a positive number]" >&2; exit 2 ;; esac

if [ ! -x /usr/bin/time ]; then
  if [ "$(id -u)" = 0 ]; then
    echo "installing GNU time (package time) for /usr/bin/time" >&2
    apt-get install -y -qq time >/dev/null
  else
    echo "$0 needs GNU time: apt-get install time (as root)" >&2
    exit 1
  fi
fi
# The commands are passed around as words in one string.
case $PWD in *[[:space:]]*) echo "$0: the checkout's path must not contain white space" >&2; exit 1 ;; esac
command -v ffmpeg >/dev/null || { echo "$0 needs ffmpeg: apt-get install ffmpeg (as root)" >&2; exit 1; }

cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j2 --target rozove zezodav_odevad giflib_job >/dev/null
bin=$PWD/build/bench
clips=$bin/clips
out=$bin/cli-out
mkdir -p "$clips" "$out"

size=1920x1080
rate=30000/1001
# Made once and kept: a clip is written under a temporary name and renamed,
# so that an interrupted run leaves no half clip behind.
make_clip() { # NAME SOURCE FRAMES FORMAT-OPTIONS...
  local name=$1 source=$2 frames=$3
  shift 3
  [ -s "$clips/$name" ] && return
  echo "making $clips/$name" >&2
  ffmpeg -v error -f lavfi -i "$source" -frames:v "$frames" "$@" -y "$clips/.partial-$name"
  mv "$clips/.partial-$name" "$clips/$name"
}
raw=(-f rawvideo -pix_fmt bgr24)
h264=(-c:v libx264 -pix_fmt yuv420p -f mp4)
make_clip static60.raw "testsrc2=size=$size:rate=$rate" 60 "${raw[@]}"
make_clip zoom60.raw "mandelbrot=size=$size:rate=$rate" 60 "${raw[@]}"
make_clip noise60.raw "smptehdbars=size=$size:rate=$rate,noise=alls=20:allf=t" 60 "${raw[@]}"
make_clip static.mp4 "testsrc2=size=$size:rate=$rate" 60 "${h264[@]}"
make_clip zoom.mp4 "mandelbrot=size=$size:rate=$rate" 60 "${h264[@]}"

# The cases: name, rozove's command, the peer's name and command.
cases=(raw-static raw-zoom raw-noise mp4-static mp4-zoom jobs2-noise jobs8-noise)
rozove_command() { # CASE
  local kind=${1%%-*} content=${1#*-}
  if [ "$kind" = raw ]; then
    echo "$bin/rozove export --size $size --rate $rate $clips/${content}60.raw $out/rozove-$1.gif"
  elif [ "${kind#jobs}" != "$kind" ]; then
    echo "$bin/rozove export --jobs ${kind#jobs} --size $size --rate $rate $clips/${content}60.raw $out/rozove-$1.gif"
  else
    echo "$bin/rozove export $clips/$content.mp4 $out/rozove-$1.gif"
  fi
}
peer_command() { # CASE
  local kind=${1%%-*} content=${1#*-}
  if [ "$kind" = raw ]; then
    echo "$bin/giflib_job --size $size --rate $rate $clips/${content}60.raw $out/peer-$1.gif"
  elif [ "${kind#jobs}" != "$kind" ]; then
    echo "$bin/rozove export --jobs 1 --size $size --rate $rate $clips/${content}60.raw $out/peer-$1.gif"
  else
    echo "ffmpeg -v error -i $clips/$content.mp4 -vf format=gray -y $out/peer-$1.gif"
  fi
}
peer_name() {
  case ${1%%-*} in raw) echo giflib_job ;; jobs*) echo "--jobs 1" ;; *) echo ffmpeg ;; esac
}

samples=$(mktemp)
measure=$(mktemp)
trap 'rm -f "$samples" "$measure"' EXIT
# One run: appends "CASE SIDE PAIR wall cpu maxrss-KiB" to the samples.
run() { # CASE SIDE PAIR COMMAND
  local name=$1 side=$2 pair=$3
  # shellcheck disable=SC2086 # the command is split into its words on purpose
  if ! /usr/bin/time -f '%e %U %S %M' -o "$measure" $4 >/dev/null 2>"$out/$side-$name.log"; then
    echo "$side failed on $name (pair $pair): $4" >&2
    cat "$out/$side-$name.log" >&2
    exit 1
  fi
  awk -v c="$name" -v s="$side" -v p="$pair" '{ print c, s, p, $1, $2 + $3, $4 }' "$measure" >>"$samples"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
hashes=()
for name in "${cases[@]}"; do
  run "$name" rozove 0 "$(rozove_command "$name")"
  run "$name" peer 0 "$(peer_command "$name")"
  hash=$(sha256sum <"$out/rozove-$name.gif" | cut -d' ' -f1)
  if [ "${name#jobs}" != "$name" ] && ! cmp -s "$out/rozove-$name.gif" "$out/peer-$name.gif"; then
    echo "rozove's output for $name differs from --jobs 1's" >&2
    exit 1
  fi
  for pair in $(seq "$pairs"); do
    run "$name" rozove "$pair" "$(rozove_command "$name")"
    run "$name" peer "$pair" "$(peer_command "$name")"
    again=$(sha256sum <"$out/rozove-$name.gif" | cut -d' ' -f1)
    if [ "$again" != "$hash" ]; then
      echo "rozove's output for $name differs between runs: $hash, then $again" >&2
      exit 1
    fi
  done
  hashes+=("$hash  rozove-$name.gif")
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
range() { sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.2f-%.2f", lo, hi }'; }
# Column FIELD (4 wall, 5 cpu, 6 rss) of SIDE's recorded runs of CASE.
column() { awk -v c="$1" -v s="$2" -v f="$3" '$1 == c && $2 == s && $3 > 0 { print $f }' "$samples"; }
# Per pair, rozove's FIELD over the peer's.
ratios() {
  awk -v c="$1" -v f="$2" '$1 == c && $3 > 0 { v[$2, $3] = $f; p[$3] = 1 }
    END { for (k in p) print v["rozove", k] / v["peer", k] }' "$samples"
}

echo "rozove export against a whole-process peer, 1920x1080, $pairs alternating pairs after one warm-up"
echo "$(nproc) cores; load average (1, 5, 15 min) $load_before before, $load_after after"
printf '%-10s %-10s | %-16s %-16s | %-22s | %-22s\n' case peer "wall ratio" "CPU ratio" \
  "rozove: wall CPU MiB" "peer: wall CPU MiB"
for name in "${cases[@]}"; do
  wall=$(ratios "$name" 4 | median) wall_range=$(ratios "$name" 4 | range)
  cpu=$(ratios "$name" 5 | median) cpu_range=$(ratios "$name" 5 | range)
  sides=()
  for side in rozove peer; do
    sides+=("$(printf '%6.2f %6.2f %6.0f' "$(column "$name" $side 4 | median)" \
      "$(column "$name" $side 5 | median)" "$(($(column "$name" $side 6 | sort -n | tail -1) / 1024))")")
  done
  printf '%-10s %-10s | %4.2f (%9s) %4.2f (%9s) | %-22s | %-22s\n' "$name" "$(peer_name "$name")" \
    "$wall" "$wall_range" "$cpu" "$cpu_range" "${sides[0]}" "${sides[1]}"
done
echo "ratios: median of the pairs' rozove / peer (lowest-highest); times: medians in seconds; MiB: peak RSS"
echo "sha256 of rozove's outputs (the same in every run):"
printf '%s\n' "${hashes[@]}"
