#!/usr/bin/env bash
# Integration tests of the rozove command: each case runs the built host
# with the built module on inputs made here by ffmpeg (or python3 for raw
# frames), and checks the GIF with giflib (gif_probe) and ffprobe, the exit
# status, the one-line errors and that a refused input leaves an existing
# output untouched. Every rozove run has a time limit.
#
# Usage: host_cli_test.sh CASE ROZOVE GIF_PROBE NO_TABLE_MODULE WORKDIR [EMULATOR]
# (the Wine case takes ROZOVE.exe and runs it under EMULATOR; GIF_PROBE and
# NO_TABLE_MODULE are then "-")
# $emulator stays unquoted (empty, or one word such as wine); `cat f |`
# gives rozove a real pipe, where `< f` would give it a seekable file.
# shellcheck disable=SC2086,SC2002
set -uo pipefail

case_name=$1
rozove=$2
gif_probe=$3
no_table_module=$4
work=$5/$case_name
emulator=${6:-}

# The completion message follows the user's locale: English here, as most
# users see it; the Windows case runs in the Japanese locale wine-tests.sh
# sets, and the module's own words come back.
[ -n "$emulator" ] || export LC_ALL=C.UTF-8

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run [ARGS...]: runs rozove with a time limit; sets status, out, err.
run() {
  timeout -k 5 120 $emulator "$rozove" "$@" >out.txt 2>err.txt
  status=$?
  out=$(cat out.txt)
  err=$(cat err.txt)
}

expect_status() {
  [ "$status" -eq "$1" ] || fail "$2: exit status $status, expected $1 (stderr: $err)"
}

# The error is one line on standard error, naming what is wrong.
expect_one_line_error() {
  local lines
  lines=$(printf '%s' "$err" | grep -c '')
  [ "$lines" -eq 1 ] || fail "$1: expected one line on stderr, got $lines: $err"
  [[ "$err" == rozove:* ]] || fail "$1: error does not start with 'rozove:': $err"
  [ -z "${2:-}" ] || [[ "$err" == *"$2"* ]] || fail "$1: error lacks '$2': $err"
}

# The completion message, exactly once: caption (the path), then the text.
completion_text() {
  local noun=frames
  [ "$2" != 1 ] || noun=frame
  if [ -n "$emulator" ]; then printf '%s\n出力しました\n%s コマ' "$1" "$2"; else printf '%s\nExported\n%s %s' "$1" "$2" "$noun"; fi
}

expect_message() {
  local path=$1 frames=$2
  local expected
  expected=$(completion_text "$path" "$frames")
  [ "$out" == "$expected" ] || fail "completion message: got [$out], expected [$expected]"
}

probe() {
  "$gif_probe" "$@" >probe.txt 2>&1 || fail "giflib cannot read $1: $(cat probe.txt)"
}

probe_line() {
  grep "^$1 " probe.txt | head -1 | cut -d' ' -f2-
}

expect_probe() {
  local got
  got=$(probe_line "$1")
  [ "$got" == "$2" ] || fail "$1: got [$got], expected [$2]"
}

# Frames and summed duration as ffprobe reads them.
expect_ffprobe() {
  local file=$1 frames=$2 seconds=$3 got
  got=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$file")
  [ "$got" == "$frames" ] || fail "ffprobe frames of $file: $got, expected $frames"
  got=$(ffprobe -v error -show_entries frame=pkt_duration_time -of csv=p=0 "$file" |
        awk '{ s += $1 } END { printf "%.2f", s }')
  [ "$got" == "$seconds" ] || fail "ffprobe duration of $file: $got, expected $seconds"
}

make_y4m() {  # make_y4m FILE FRAMES [SIZE] [RATE] [PIX_FMT] [SOURCE=OPTIONS:]
  ffmpeg -v error -nostdin -f lavfi -i "${6:-testsrc=}size=${3:-160x90}:rate=${4:-30000/1001}" -frames:v "$2" \
    -pix_fmt "${5:-yuv420p}" -strict -1 -f yuv4mpegpipe -y "$1" || fail "ffmpeg could not make $1"
}

# make_raw FILE W H FRAMES: bgr24 frames, top half white, bottom half gray
# 64 on the left; the right half black in the top rows, white below.
make_raw() {
  python3 - "$@" <<'PY'
import sys
path, w, h, n = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rows = []
for y in range(h):
    left = b"\xff\xff\xff" if y < h // 2 else b"\x40\x40\x40"
    right = b"\x00\x00\x00" if y < h // 4 else b"\xff\xff\xff"
    rows.append(left * (w // 2) + right * (w - w // 2))
with open(path, "wb") as f:
    f.write(b"".join(rows) * n)
PY
}

keep_output() {
  printf 'KEEP' >"$1"
}

expect_kept() {
  [ "$(cat "$1" 2>/dev/null)" == "KEEP" ] || fail "$2: the existing $1 was changed"
}

# wait_for_growth FILE: waits until FILE, or the new file written beside it
# (.FILE.rozove-XXXXXX; rzvXXXX.tmp from rozove.exe), holds its first frame
# (its head alone is 781 bytes), however slow the machine.
wait_for_growth() {
  local folder name file
  folder=$(dirname "$1"); name=$(basename "$1")
  for _ in $(seq 600); do
    for file in "$1" "$folder/.$name.rozove-"* "$folder"/rzv*.tmp; do
      [ "$(stat -c %s "$file" 2>/dev/null || echo 0)" -gt 800 ] && return 0
    done
    sleep 0.1
  done
  fail "$1 never got a frame"
}

# expect_no_leftover: no new file or spool left beside the outputs.
expect_no_leftover() {
  local left
  left=$(find . -name '.*.rozove-*' -o -name 'rzv*.tmp' | head -3)
  [ -z "$left" ] || fail "$1: left behind: $left"
}

# wait_host PID: waits up to 60 s for rozove to end; sets status, out, err.
wait_host() {
  for _ in $(seq 300); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.2
  done
  kill -s KILL "$1" 2>/dev/null && fail "rozove did not end"
  wait "$1"
  status=$?
  out=$(cat out.txt)
  err=$(cat err.txt)
}

# feed_slowly INPUT.y4m: writes INPUT to standard output one frame every
# 0.2 s, as a live source would.
feed_slowly() {
  python3 -c '
import sys, time
data = open(sys.argv[1], "rb").read()
header_end = data.index(b"\n") + 1
line = data.index(b"\n", header_end) + 1 - header_end
frame = line + data.index(b"FRAME", header_end + line) - (header_end + line)
out = sys.stdout.buffer
try:
    out.write(data[:header_end])
    for start in range(header_end, len(data), frame):
        out.write(data[start:start + frame])
        out.flush()
        time.sleep(0.2)
except BrokenPipeError:
    pass
' "$1" 2>/dev/null
}

# interrupt_export SIGNAL INPUT.y4m OUT.gif [SECOND]: exports INPUT, fed
# through a pipe one frame every 0.2 s, and sends SIGNAL once the first
# frame is in OUT.gif (and SECOND right after it). Sets status, out and err.
# (A pipe, not a named FIFO: Wine reads a FIFO opened by name as if it
# ended whenever it is momentarily empty.)
interrupt_export() {
  local sig=$1 input=$2 output=$3 host
  feed_slowly "$input" | $emulator "$rozove" export - "$output" >out.txt 2>err.txt &
  # Started without `timeout`, so that each signal is sent exactly as
  # asked; the loops below are the time limit instead.
  host=$!
  # Once the first frame is in, let a few more arrive.
  wait_for_growth "$output"
  sleep 0.5
  kill -s "$sig" "$host"
  [ -z "${4:-}" ] || kill -s "$4" "$host"
  wait_host "$host"
}

# as_nobody: the words that run a command as an unprivileged user when
# this runs as root (root may write anywhere), in the array as_user;
# false when that cannot be done here.
as_nobody() {
  as_user=()
  [ "$(id -u)" -ne 0 ] && return 0
  command -v setpriv >/dev/null || return 1
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
}

# The completion message's frame count (its last line, "N frames").
message_count() {
  printf '%s' "$1" | tail -1 | cut -d' ' -f1
}

ntsc_delays_20="3 3 4 3 3 4 3 3 4 3 3 4 3 3 4 3 3 4 3 3"

case "$case_name" in
export_y4m)
  make_y4m clip.y4m 20
  run export clip.y4m out.gif
  expect_status 0 "export"
  [ -z "$err" ] || fail "export printed on stderr: $err"
  expect_message out.gif 20
  probe out.gif
  expect_probe size "160 90"
  expect_probe frames 20
  expect_probe loop 0
  expect_probe delays "$ntsc_delays_20"
  expect_probe transparent "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"
  expect_probe gray yes
  expect_ffprobe out.gif 20 0.66
  ;;
colour_layouts)
  # A smooth picture with known colours, r = 4x, g = 5y, b = 128 + x - y,
  # in every 8-bit layout: each pixel must come out as the gray level of
  # its colour, (29 b + 150 g + 87 r + 128) / 256, within 2. Mono keeps
  # only the luma Y = 0.299 r + 0.587 g + 0.114 b, which the module then
  # weighs as a gray pixel: (266 Y + 128) / 256.
  points="1:8:8 1:40:30 1:63:47 0:0:0 0:33:2"
  for fmt in yuv420p yuv422p yuv444p gray; do
    ffmpeg -v error -nostdin -f lavfi -i "nullsrc=size=64x48:rate=25,format=gbrp,geq=r='X*4':g='Y*5':b='128+X-Y'" \
      -frames:v 2 -pix_fmt "$fmt" -f yuv4mpegpipe -y "c_$fmt.y4m" || fail "ffmpeg could not make $fmt"
    run export "c_$fmt.y4m" "c_$fmt.gif"
    expect_status 0 "export $fmt"
    # shellcheck disable=SC2086
    probe "c_$fmt.gif" $points
    expect_probe frames 2
    while read -r _ _ x y level; do
      r=$((x * 4)); g=$((y * 5)); b=$((128 + x - y))
      if [ "$fmt" == gray ]; then
        want=$(( (266 * ((299 * r + 587 * g + 114 * b + 500) / 1000) + 128) / 256 ))
      else
        want=$(( (29 * b + 150 * g + 87 * r + 128) / 256 ))
      fi
      [ "$want" -ge 1 ] || want=1
      d=$((level > want ? level - want : want - level))
      [ "$d" -le 2 ] || fail "$fmt: pixel $x,$y is gray $level, expected $want"
    done < <(grep '^pixel' probe.txt)
    [ "$(grep -c '^pixel' probe.txt)" -eq 5 ] || fail "$fmt: pixels missing: $(cat probe.txt)"
  done
  ;;
loop_and_mask)
  make_raw mask.raw 64 48 3
  run export --loop 3 --mask --size 64x48 --rate 25 mask.raw out.gif
  expect_status 0 "export --loop 3 --mask"
  expect_message out.gif 3
  # Half as wide; black in the mask (top quarter) is transparent (index 0),
  # white keeps the picture: white 255 above, gray 64 -> 67 below.
  probe out.gif 0:5:2 0:5:20 0:5:40 2:31:47
  expect_probe size "32 48"
  expect_probe loop 3
  expect_probe delays "4 4 4"
  grep -qx 'pixel 0 5 2 0' probe.txt || fail "masked pixel not transparent: $(grep pixel probe.txt)"
  grep -qx 'pixel 0 5 20 255' probe.txt || fail "white pixel: $(grep pixel probe.txt)"
  grep -qx 'pixel 0 5 40 67' probe.txt || fail "gray pixel: $(grep pixel probe.txt)"
  grep -qx 'pixel 2 31 47 67' probe.txt || fail "last frame: $(grep pixel probe.txt)"
  ;;
raw_input)
  make_raw clip.raw 64 48 5
  run export --size 64x48 --rate 30000/1001 clip.raw out.gif
  expect_status 0 "raw export"
  expect_message out.gif 5
  # Rows arrive top-down: the top of the GIF is the white half.
  probe out.gif 0:10:0 0:0:47
  expect_probe size "64 48"
  expect_probe frames 5
  expect_probe delays "3 3 4 3 3"
  grep -qx 'pixel 0 10 0 255' probe.txt || fail "top row: $(grep pixel probe.txt)"
  grep -qx 'pixel 0 0 47 67' probe.txt || fail "bottom row: $(grep pixel probe.txt)"
  # The same frames through a pipe.
  cat clip.raw | timeout 60 $emulator "$rozove" export --size 64x48 --rate 30000/1001 - piped.gif >out.txt 2>err.txt
  status=$?; out=$(cat out.txt); err=$(cat err.txt)
  expect_status 0 "raw from standard input"
  expect_message piped.gif 5
  cmp -s out.gif piped.gif || fail "raw from a pipe differs from raw from a file"
  ;;
standard_input)
  make_y4m clip.y4m 20
  run export clip.y4m file.gif
  # A pipe has no length: the count is learnt at its end and shown right.
  cat clip.y4m | timeout 60 $emulator "$rozove" export - out.gif >out.txt 2>err.txt
  status=$?; out=$(cat out.txt); err=$(cat err.txt)
  expect_status 0 "export from a pipe"
  expect_message out.gif 20
  probe out.gif
  expect_probe frames 20
  expect_probe delays "$ntsc_delays_20"
  cmp -s file.gif out.gif || fail "the GIF from a pipe differs from the one from the file"
  # --frames above what the pipe holds: the pipe's end wins.
  cat clip.y4m | timeout 60 $emulator "$rozove" export --frames 50 - more.gif >out.txt 2>err.txt
  status=$?; out=$(cat out.txt); err=$(cat err.txt)
  expect_status 0 "--frames 50 from a pipe of 20"
  expect_message more.gif 20
  # ffmpeg straight into rozove, as the README shows it.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=96x54:rate=25 -frames:v 7 -pix_fmt yuv420p -f yuv4mpegpipe - |
    timeout 60 $emulator "$rozove" export - ff.gif >out.txt 2>err.txt
  status=$?; out=$(cat out.txt); err=$(cat err.txt)
  expect_status 0 "ffmpeg | rozove"
  expect_message ff.gif 7
  expect_ffprobe ff.gif 7 0.28
  ;;
frame_limit)
  make_y4m clip.y4m 20
  run export --frames 5 clip.y4m out.gif
  expect_status 0 "--frames 5"
  expect_message out.gif 5
  probe out.gif
  expect_probe frames 5
  ;;
interrupted)
  # SIGINT or SIGTERM after a few frames: the GIF written so far must be
  # complete, and the exit status must say so.
  make_y4m clip.y4m 60 64x36 25
  for sig in INT TERM; do
    interrupt_export "$sig" clip.y4m "int_$sig.gif"
    expected=130
    [ "$sig" == TERM ] && expected=143
    expect_status "$expected" "SIG$sig"
    expect_one_line_error "SIG$sig" "interrupted"
    probe "int_$sig.gif"
    frames=$(probe_line frames)
    if [ "${frames:-0}" -lt 1 ] || [ "${frames:-0}" -ge 60 ]; then fail "SIG$sig: $frames frames in the GIF"; fi
    # No success message for a stopped job; the error line counts the frames.
    [ -z "$out" ] || fail "SIG$sig: a completion message on standard output: $out"
    [[ "$err" == *"holds the $frames frame"* ]] || fail "SIG$sig: the error line counts otherwise: $err"
  done
  expect_no_leftover "interrupted"
  ;;
truncated)
  make_y4m clip.y4m 12 64x36 25
  frame=$(( 64 * 36 * 3 / 2 + 6 ))
  header=$(head -1 clip.y4m | wc -c)
  head -c $(( header + 10 * frame + 100 )) clip.y4m >cut.y4m
  run export cut.y4m out.gif
  expect_status 1 "cut-off file"
  expect_one_line_error "cut-off file" "middle of frame 11"
  probe out.gif
  expect_probe frames 10
  cat cut.y4m | timeout 60 $emulator "$rozove" export - piped.gif >out.txt 2>err.txt
  status=$?; err=$(cat err.txt)
  expect_status 1 "cut-off pipe"
  expect_one_line_error "cut-off pipe" "middle of frame 11"
  probe piped.gif
  expect_probe frames 10
  ;;
bad_input)
  make_y4m good.y4m 2 32x18 25
  make_y4m p10.y4m 2 32x18 25 yuv420p10le
  make_y4m alpha.y4m 2 32x18 25 yuva444p
  sed '1s/ Ip / It /' good.y4m >interlaced.y4m
  head -c 20 good.y4m >short-header.y4m
  head -1 good.y4m >no-frames.y4m
  : >empty.y4m
  printf 'GIF89a not a video\n' >not-y4m.y4m
  head -c 100 good.y4m >first-frame-cut.y4m
  while IFS='|' read -r input words expected; do
    keep_output out.gif
    run export "$input" out.gif
    expect_status "$expected" "$input"
    expect_one_line_error "$input" "$words"
    expect_kept out.gif "$input"
  done <<'CASES'
missing.y4m|missing.y4m|1
p10.y4m|C420p10|1
alpha.y4m|C444alpha|1
short-header.y4m|header|1
no-frames.y4m|no frame|1
empty.y4m|empty|1
not-y4m.y4m|not a Y4M|1
first-frame-cut.y4m|middle of frame 1|1
.|directory|1
CASES
  # An interlaced Y4M file is taken as it is, by rozove's own reader in
  # every build, as an interlaced MP4 is by FFmpeg's libraries.
  keep_output out.gif
  run export interlaced.y4m out.gif
  expect_status 0 "interlaced.y4m"
  expect_message out.gif 2
  keep_output out.gif
  timeout 60 $emulator "$rozove" export - out.gif </dev/null >out.txt 2>err.txt
  status=$?; err=$(cat err.txt)
  expect_status 1 "empty standard input"
  expect_one_line_error "empty standard input" "standard input"
  expect_kept out.gif "empty standard input"
  # Mask mode on frames 1 pixel wide: no picture half.
  make_raw thin.raw 1 4 2
  keep_output out.gif
  run export --mask --size 1x4 --rate 25 thin.raw out.gif
  expect_status 1 "mask mode, 1 pixel wide"
  expect_one_line_error "mask mode, 1 pixel wide" "2 pixels wide"
  expect_kept out.gif "mask mode, 1 pixel wide"
  # The output given as the input itself.
  cp good.y4m same.y4m
  run export same.y4m ./same.y4m
  expect_status 2 "output is the input"
  cmp -s good.y4m same.y4m || fail "the input was overwritten"
  ;;
bad_options)
  make_y4m good.y4m 2 32x18 25
  while IFS='|' read -r args words; do
    keep_output out.gif
    # shellcheck disable=SC2086
    run $args
    expect_status 2 "$args"
    expect_one_line_error "$args" "$words"
    expect_kept out.gif "$args"
  done <<'CASES'
export --size 0x10 --rate 25 good.y4m out.gif|--size
export --size 10 --rate 25 good.y4m out.gif|--size
export --size 10x --rate 25 good.y4m out.gif|--size
export --size 10x10 --rate 0 good.y4m out.gif|--rate
export --size 10x10 --rate 25/0 good.y4m out.gif|--rate
export --size 10x10 --rate abc good.y4m out.gif|--rate
export --size 10x10 good.y4m out.gif|--rate
export --loop 70000 good.y4m out.gif|--loop
export good.y4m|two files
frobnicate|unknown command
export --fast good.y4m out.gif|unknown option
|no command
CASES
  ;;
unwritable_output)
  make_y4m good.y4m 2 32x18 25
  run export good.y4m no-such-folder/out.gif
  expect_status 1 "output in a missing folder"
  expect_one_line_error "output in a missing folder" "cannot write no-such-folder/out.gif"
  [ ! -e no-such-folder ] || fail "a folder was created"
  mkdir folder.gif
  run export good.y4m folder.gif
  expect_status 2 "output is a folder"
  expect_one_line_error "output is a folder" "not the folder folder.gif"
  ;;
bad_module)
  make_y4m good.y4m 2 32x18 25
  keep_output out.gif
  run --module ./missing-module.so export good.y4m out.gif
  expect_status 1 "missing module"
  expect_one_line_error "missing module" "missing-module.so"
  expect_kept out.gif "missing module"
  run --module "$no_table_module" export good.y4m out.gif
  expect_status 1 "module without table"
  expect_one_line_error "module without table" "GetOutputPluginTable"
  expect_kept out.gif "module without table"
  run --module good.y4m info
  expect_status 1 "not a module at all"
  expect_one_line_error "not a module at all"
  ;;
high_rate)
  make_y4m fast.y4m 6 32x18 60
  run export fast.y4m out.gif
  expect_status 0 "60 frames per second"
  expect_one_line_error "60 frames per second" "warning"
  [[ "$err" == *"ffmpeg -r"* ]] || fail "the warning suggests no remedy: $err"
  probe out.gif
  expect_probe delays "1 2 2 1 2 2"
  make_y4m ok.y4m 3 32x18 50
  run export ok.y4m ok.gif
  [ -z "$err" ] || fail "a warning at 50 frames per second: $err"
  ;;
shrinking_input)
  # Another program cuts the input while it is exported: the GIF holds what
  # was read, the message tells that count, and the exit status is 1.
  make_y4m long.y4m 3000 64x36 25
  frame=$(( 64 * 36 * 3 / 2 + 6 ))
  header=$(head -1 long.y4m | wc -c)
  # One job: parts take the input further ahead of the GIF, past the cut.
  $emulator "$rozove" export --jobs 1 long.y4m out.gif >out.txt 2>err.txt &
  host=$!
  wait_for_growth out.gif
  truncate -s $(( header + 200 * frame )) long.y4m
  wait_host "$host"
  expect_status 1 "input cut during the export"
  [[ "$err" == *"long.y4m: the file ends after 200 of the 3000 frames"* ]] || fail "shrinking input: $err"
  probe out.gif
  frames=$(probe_line frames)
  [ "$frames" == 200 ] || fail "shrinking input: $frames frames in the GIF, expected 200"
  [ -z "$out" ] || fail "shrinking input: a completion message for a cut input: $out"
  [[ "$err" == *"holds the 200 frames"* ]] || fail "shrinking input: the error line counts otherwise: $err"
  # An output that is the input, by name, by link or behind standard input,
  # is refused before anything is opened.
  make_y4m clip.y4m 5 32x18 25
  cp clip.y4m keep.y4m
  ln -s clip.y4m link.gif
  ln clip.y4m hard.gif
  for output in link.gif hard.gif; do
    run export clip.y4m "$output"
    expect_status 2 "output $output is the input"
    expect_one_line_error "output $output" "is the input itself"
  done
  timeout 60 $emulator "$rozove" export - clip.y4m <clip.y4m >out.txt 2>err.txt
  status=$?; err=$(cat err.txt)
  expect_status 2 "export - clip.y4m < clip.y4m"
  expect_one_line_error "export - clip.y4m < clip.y4m" "behind standard input"
  cmp -s clip.y4m keep.y4m || fail "the input was overwritten"
  ;;
interrupted_file)
  # Ctrl-C on a file input: the completion message counts the frames in the
  # file, not the frames the file held.
  make_y4m long.y4m 3000 64x36 25
  $emulator "$rozove" export long.y4m out.gif >out.txt 2>err.txt &
  host=$!
  wait_for_growth out.gif
  sleep 0.3
  kill -s INT "$host"
  wait_host "$host"
  expect_status 130 "SIGINT on a file input"
  expect_one_line_error "SIGINT on a file input" "interrupted"
  probe out.gif
  frames=$(probe_line frames)
  if [ "${frames:-0}" -lt 1 ] || [ "${frames:-0}" -ge 3000 ]; then fail "SIGINT: $frames frames in the GIF"; fi
  [ -z "$out" ] || fail "SIGINT: a completion message on standard output: $out"
  [[ "$err" == *"holds the $frames frames"* ]] || fail "the error line counts otherwise: $err"
  ;;
standard_output)
  # "-" as the output: the GIF alone on standard output, every message
  # (the module's too) on standard error.
  make_y4m clip.y4m 20
  run export clip.y4m file.gif
  timeout 60 $emulator "$rozove" export clip.y4m - >piped.gif 2>err.txt
  status=$?; err=$(cat err.txt)
  expect_status 0 "export to standard output"
  cmp -s file.gif piped.gif || fail "the GIF on standard output differs from the file's"
  expected=$(completion_text 'standard output' 20)
  [ "$err" == "$expected" ] || fail "standard error: [$err], expected [$expected]"
  # Through a pipe, from a pipe.
  cat clip.y4m | timeout 60 $emulator "$rozove" export - - 2>err.txt | cat >pipe.gif
  cmp -s file.gif pipe.gif || fail "pipe to pipe differs"
  # Streamed as it is made: from a pipe fed a frame every 0.2 s, the first
  # frame reaches standard output while rozove still reads the rest.
  python3 -c '
import sys, time
data = open(sys.argv[1], "rb").read()
step = len(data) // 40
for start in range(0, len(data), step):
    sys.stdout.buffer.write(data[start:start + step])
    sys.stdout.buffer.flush()
    time.sleep(0.1)
' clip.y4m | $emulator "$rozove" export - - >streamed.gif 2>err.txt &
  host=$!
  wait_for_growth streamed.gif
  kill -0 "$host" 2>/dev/null || fail "standard output got its first frame only after the job ended"
  wait_host "$host"
  expect_status 0 "streamed to standard output"
  cmp -s file.gif streamed.gif || fail "the streamed GIF differs from the file's"
  # A closed standard output is a failure, with the reason.
  timeout 60 $emulator "$rozove" export clip.y4m - 2>err.txt | true
  status=${PIPESTATUS[0]}; err=$(cat err.txt)
  expect_status 1 "closed standard output"
  expect_one_line_error "closed standard output" "closed"
  run info
  timeout 60 $emulator "$rozove" info >/dev/full 2>err.txt
  status=$?; err=$(cat err.txt)
  expect_status 1 "info on a full standard output"
  expect_one_line_error "info on a full standard output" "standard output"
  ;;
write_failures)
  # The reason the host can know is named: no space, a folder, permission.
  make_y4m clip.y4m 3 32x18 25
  run export clip.y4m /dev/full
  expect_status 1 "full device"
  expect_one_line_error "full device" "cannot write /dev/full: no space left on the device"
  timeout 60 $emulator "$rozove" export clip.y4m - >/dev/full 2>err.txt
  status=$?; err=$(cat err.txt)
  expect_status 1 "full standard output"
  expect_one_line_error "full standard output" "cannot write standard output: no space left"
  mkdir folder.gif
  run export clip.y4m folder.gif
  expect_one_line_error "output is a folder" "the output must be a file, not the folder folder.gif"
  # Root may write anywhere: it runs rozove as nobody for these.
  if as_nobody; then
    mkdir locked && chmod 555 locked
    keep_output readonly.gif && chmod 444 readonly.gif
    for output in locked/out.gif readonly.gif; do
      timeout 60 "${as_user[@]}" $emulator "$rozove" export clip.y4m "$output" >out.txt 2>err.txt
      status=$?; err=$(cat err.txt)
      expect_status 1 "no permission for $output"
      expect_one_line_error "no permission for $output" "Permission denied"
    done
    [ ! -e locked/out.gif ] || fail "a file was made in the locked folder"
    expect_kept readonly.gif "read-only output"
  else
    echo "running as root without setpriv: the permission cases are skipped"
  fi
  ;;
escaped_input)
  # Control characters from a header are echoed escaped; the wordings that
  # misled are mended.
  make_y4m good.y4m 2 32x18 25
  printf 'YUV4MPEG2 W3\r\033[2J H2 F25:1\nFRAME\n' >escape.y4m
  run export escape.y4m out.gif
  expect_status 1 "control characters in the header"
  expect_one_line_error "control characters" 'bad width W3\r\e[2J'
  [[ "$err" != *$'\r'* && "$err" != *$'\033'* ]] || fail "a raw control character reached the terminal: $(printf '%s' "$err" | cat -v)"
  sed '1s/ Ip / Ix /' good.y4m >order.y4m
  sed '1s/ F25:1 / F4294967295:1 /' good.y4m >rate.y4m
  { printf 'YUV4MPEG2 W2 H2 F25:1 X'; head -c 1100000 /dev/zero | tr '\0' a; printf '\n'; } >long.y4m
  while IFS='|' read -r input words; do
    keep_output out.gif
    run export "$input" out.gif
    expect_status 1 "$input"
    expect_one_line_error "$input" "$words"
    [[ "$err" != *"does not end"* && "$err" != *"both positive"* && "$err" != *"interlaced"* ]] ||
      fail "$input: a misleading wording: $err"
    expect_kept out.gif "$input"
  done <<'CASES'
order.y4m|unknown interlacing Ix
rate.y4m|F4294967295:1 (expected F<rate>:<scale>, each a whole number from 1 to 2147483647)
long.y4m|longer than 64 KiB
CASES
  ;;
readme_examples)
  # The README's command-line examples run as written (with the build's own
  # rozove for build/linux/rozove) on a clip ffmpeg makes.
  readme=$(dirname "$0")/../../README.md
  [ -f "$readme" ] || readme=$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)/README.md
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=640x360:rate=25 -frames:v 10 -pix_fmt yuv420p -y clip.mp4 ||
    fail "ffmpeg could not make clip.mp4"
  examples=$(awk '/^## The command line/ { on = 1; next } /^## / { on = 0 } on && /^    / && /rozove/ { sub(/^    /, ""); print }' "$readme")
  [ -n "$examples" ] || fail "no examples found in $readme"
  # And the examples of --help, which are written for the installed rozove
  # (no build folder), over the frames they name.
  help_examples=$("$rozove" --help | awk '/^Examples/ { on = 1; next } /^$/ { on = 0 } on { sub(/^  /, ""); print }')
  examples+=$'\n'$(sed -E 's#(^|\| )rozove #\1build/linux/rozove #' <<<"$help_examples")
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 3 -y frame%d.png
  video=yes
  "$rozove" --version | grep -q "FFmpeg's libraries" || video=no
  count=0
  while IFS= read -r example; do
    # Only the Linux build's examples; rozove reading clip.mp4 itself needs FFmpeg's libraries.
    [[ "$example" == *build/linux/rozove* ]] || continue
    after=${example#*rozove}
    if [ "$video" == no ] && [[ "$after" == *clip.mp4* || "$after" == *--width* || "$after" == *--fps* ]]; then
      echo "no video input in this build: skipped $example"
      continue
    fi
    command=${example//build\/linux\/rozove/$rozove}
    # ffmpeg reads its standard input for keys: not this loop's lines.
    timeout 120 bash -c "set -o pipefail; $command" </dev/null >out.txt 2>err.txt || fail "README example failed: $example: $(cat err.txt)"
    count=$((count + 1))
  done <<<"$examples"
  [ "$count" -ge 2 ] || fail "only $count README examples ran"
  for gif in *.gif; do probe "$gif"; done
  ;;
user_habits)
  # What users of ffmpeg and gifski reach for.
  make_raw clip.raw 64 48 5
  # A decimal NTSC rate is the exact one: the same delays as 30000/1001.
  run export --size 64x48 --rate 29.97 clip.raw ntsc.gif
  expect_status 0 "--rate 29.97"
  probe ntsc.gif
  expect_probe delays "3 3 4 3 3"
  run export --size 64x48 --rate 12.5 clip.raw slow.gif
  probe slow.gif
  expect_probe delays "8 8 8 8 8"
  # --quiet: nothing on standard output or standard error.
  run export --quiet --size 64x48 --rate 25 clip.raw quiet.gif
  expect_status 0 "--quiet"
  [ -z "$out$err" ] || fail "--quiet printed: [$out] [$err]"
  probe quiet.gif
  expect_probe frames 5
  # Rates a GIF cannot show, and a --size the file's length denies, are
  # refused before the output is touched.
  cp quiet.gif keep.gif
  run export --size 64x48 --rate 1/1000 clip.raw keep.gif
  expect_status 2 "a frame of 1000 s"
  expect_one_line_error "a frame of 1000 s" "655.35 s"
  run export --size 64x47 --rate 25 clip.raw keep.gif
  expect_status 1 "a raw file that is no whole number of frames"
  expect_one_line_error "raw size" "not a whole number of 64x47 bgr24 frames"
  make_y4m fast.y4m 3 32x18 1000
  run export fast.y4m keep.gif
  expect_status 1 "a Y4M stream at 1000 frames per second"
  expect_one_line_error "1000 frames per second" "--fps"
  cmp -s quiet.gif keep.gif || fail "a refused export changed the existing output"
  if command -v script >/dev/null; then
    make_y4m clip.y4m 20 64x36 25
    # A terminal on standard input is refused with a hint, not waited on.
    timeout 60 script -qec "$rozove export - out.gif" typescript.txt >/dev/null 2>&1
    grep -q 'standard input is a terminal' typescript.txt || fail "terminal input: $(cat -v typescript.txt)"
    grep -q 'yuv4mpegpipe' typescript.txt || fail "terminal input: no hint"
    # Nor is a GIF written onto a terminal.
    timeout 60 script -qec "$rozove export clip.y4m -" typescript.txt >/dev/null 2>&1
    grep -q 'standard output is a terminal' typescript.txt || fail "terminal output: $(cat -v typescript.txt)"
    grep -q 'GIF89a' typescript.txt && fail "a GIF was written onto the terminal"
    # A pipe's progress bar: the total and time left where --frames gives a
    # count; the count, speed and time so far where nothing does.
    timeout 60 script -qec "cat clip.y4m | $rozove export --frames 20 - counted.gif" typescript.txt >/dev/null 2>&1
    grep -q '20/20' typescript.txt || fail "no total on a counted pipe: $(cat -v typescript.txt)"
    timeout 60 script -qec "cat clip.y4m | $rozove export - open.gif" typescript.txt >/dev/null 2>&1
    grep -Eq '20 frames +[0-9.]+ fps +0:[0-9]{2}' typescript.txt || fail "pipe without a count: $(cat -v typescript.txt)"
  fi
  ;;
overwrite_and_progress)
  # ffmpeg's -y and -n, and its -progress for scripts.
  make_y4m clip.y4m 20 64x36 25
  printf 'KEEP' >kept.gif
  run -n export clip.y4m kept.gif
  expect_status 2 "-n over an existing output"
  expect_one_line_error "-n" "kept.gif exists"
  [ "$(cat kept.gif)" == KEEP ] || fail "-n: the existing output was touched"
  ln -s nowhere dangling.gif
  run export --no-clobber clip.y4m dangling.gif
  expect_status 2 "-n over a dangling link"
  run export -n -y clip.y4m kept.gif
  expect_status 0 "-n then -y: the last counts"
  run export -n clip.y4m fresh.gif
  expect_status 0 "-n with no output yet"
  expect_message fresh.gif 20
  # The report: blocks, the last one ending it with every frame.
  run export --progress report.txt clip.y4m report.gif
  expect_status 0 "--progress FILE"
  expect_message report.gif 20
  [ "$(grep -c '^progress=end$' report.txt)" -eq 1 ] || fail "--progress: not one end: $(cat report.txt)"
  [ "$(tail -1 report.txt)" == progress=end ] || fail "--progress: the end is not last"
  last=$(tail -6 report.txt | tr '\n' ' ')
  [[ "$last" == "frame=20 total=20 fps="*" out_time_us=800000 out_time=00:00:00.800000 progress=end " ]] ||
    fail "--progress: last block [$last]"
  # On standard output: the blocks alone there, the message on standard error.
  run export --progress - clip.y4m piped.gif
  expect_status 0 "--progress -"
  [ "$(printf '%s\n' "$out" | grep -vc '^[a-z_]*=')" -eq 0 ] || fail "--progress -: standard output holds [$out]"
  [ "$err" == "$(completion_text piped.gif 20)" ] || fail "--progress -: standard error [$err]"
  cat clip.y4m | timeout 60 "$rozove" export --progress - - - >/dev/null 2>err.txt
  [ $? -eq 2 ] || fail "--progress - with the GIF on standard output: not refused"
  cp report.gif keep.gif
  run export --progress no/such/folder/report.txt clip.y4m keep.gif
  expect_status 1 "--progress into a missing folder"
  expect_one_line_error "--progress into a missing folder" "no/such/folder/report.txt"
  cmp -s report.gif keep.gif || fail "--progress into a missing folder: the existing output was touched"
  ;;
completion_language)
  # The message in the user's language and charset: the module's Japanese
  # words in a Japanese locale, English in every other.
  make_y4m clip.y4m 3 32x18 25
  while IFS='|' read -r locale charset words; do
    LC_ALL=$locale timeout 60 "$rozove" export clip.y4m out.gif >out.txt 2>err.txt
    got=$(iconv -f "$charset" -t UTF-8 out.txt | tail -2 | tr '\n' ' ')
    [ "$got" == "$words " ] || fail "LC_ALL=$locale: [$got], expected [$words] in $charset"
  done <<'TABLE'
C|ASCII|Exported 3 frames
POSIX|ASCII|Exported 3 frames
en_US.UTF-8|UTF-8|Exported 3 frames
ja_JP.UTF-8|UTF-8|出力しました 3 コマ
ja_JP.eucJP|EUC-JP|出力しました 3 コマ
TABLE
  ;;
video_input)
  # Any video through FFmpeg's libraries (the Linux build): files, a pipe,
  # scaling and resampling, deep and alpha streams, and bad inputs refused
  # in one line with an existing output untouched.
  "$rozove" --version | grep -q "FFmpeg's libraries" || { echo "no video input in this build: skipped"; exit 0; }
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=640x360:rate=25 -frames:v 30 -pix_fmt yuv420p -y clip.mp4 ||
    fail "ffmpeg could not make clip.mp4"
  run export clip.mp4 out.gif
  expect_status 0 "export clip.mp4"
  expect_message out.gif 30
  probe out.gif
  expect_probe size "640 360"
  expect_probe frames 30
  expect_ffprobe out.gif 30 1.20
  while IFS='|' read -r options size frames; do
    # shellcheck disable=SC2086
    run export $options clip.mp4 scaled.gif
    expect_status 0 "export $options"
    probe scaled.gif
    expect_probe size "$size"
    expect_probe frames "$frames"
  done <<'CASES'
--width 320|320 180|30
--height 90|160 90|30
--width 100 --height 100|100 100|30
--width 160 --fps 10|160 90|12
--width 160 --fps 12.5|160 90|15
CASES
  run export --width 160 --fps 10 clip.mp4 slow.gif
  probe slow.gif
  expect_probe delays "10 10 10 10 10 10 10 10 10 10 10 10"
  # Matroska through a pipe: no length, the count learnt at the end.
  ffmpeg -v error -nostdin -i clip.mp4 -f matroska - |
    timeout 60 $emulator "$rozove" export --width 160 - piped.gif >out.txt 2>err.txt
  status=$?; out=$(cat out.txt); err=$(cat err.txt)
  expect_status 0 "matroska through a pipe"
  expect_message piped.gif 30
  probe piped.gif
  expect_probe frames 30
  # Uneven and late timestamps: a recording that pauses (200 ms gap) as
  # MP4 and MKV, a clip cut from a stream (starts at 10 s) and an AVI whose
  # header counts the frames it dropped. Each GIF holds every frame ffprobe
  # decodes, once, and lasts from the first frame to the last one's end
  # (its packet's duration), with exit status 0.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 20 -vf "select='not(between(n,5,9))'" \
    -fps_mode passthrough -c:v libx264 -pix_fmt yuv420p -y paused.mp4
  ffmpeg -v error -nostdin -i paused.mp4 -c copy -y paused.mkv
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 20 -c:v libx264 -output_ts_offset 10 -y late.mkv
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 20 -vf "setpts=PTS+5/(25*TB)" -c:v mpeg4 \
    -fps_mode passthrough -y dropped.avi
  for input in paused.mp4 paused.mkv late.mkv dropped.avi; do
    ffprobe -v error -select_streams v:0 -show_entries frame=pts_time -of csv=p=0 "$input" | grep '^[0-9]' >times.txt
    span=$(ffprobe -v error -select_streams v:0 -show_entries packet=pts_time,duration_time -of csv=p=0 "$input" |
           awk -F, -v first="$(head -1 times.txt)" '$1 != "N/A" && $2 != "N/A" && $1 + $2 > end { end = $1 + $2 }
                                                    END { printf "%.2f", end - first }')
    run export "$input" "$input.gif"
    expect_status 0 "export $input"
    expect_message "$input.gif" "$(wc -l <times.txt)"
    expect_ffprobe "$input.gif" "$(wc -l <times.txt)" "$span"
  done
  # The paused MKV through a pipe, which is not walked: its frames are
  # timed as they come, so the GIF is the file's, byte for byte.
  cat paused.mkv | timeout 60 $emulator "$rozove" export - paused-pipe.gif >out.txt 2>err.txt
  status=$?; out=$(cat out.txt); err=$(cat err.txt)
  expect_status 0 "paused.mkv through a pipe"
  cmp -s paused.mkv.gif paused-pipe.gif || fail "the paused MKV through a pipe gives another GIF than the file"
  # A picture turned by the display matrix (a phone held upright) and an
  # anamorphic one come out as ffmpeg shows them: the size, and the corner
  # that a white marker lands in (ffmpeg's own rotation is the oracle);
  # --width applies to the turned picture.
  ffmpeg -v error -nostdin -f lavfi -i "color=c=black:s=32x16:r=25,drawbox=x=0:y=0:w=4:h=4:c=white:t=fill" \
    -frames:v 2 -c:v libx264 -pix_fmt yuv444p -y upright.mp4
  ffmpeg -v error -nostdin -i upright.mp4 -c copy -metadata:s:v:0 rotate=90 -y turned.mp4
  ffmpeg -v error -nostdin -i upright.mp4 -vf setsar=2 -c:v libx264 -y wide.mp4
  marker=$(ffmpeg -v error -nostdin -i turned.mp4 -frames:v 1 -f rawvideo -pix_fmt gray - | od -An -v -tu1 -w1 |
           awk '$1 > 128 { i = NR - 1; print i % 16, int(i / 16); exit }')
  while IFS='|' read -r options input size; do
    # shellcheck disable=SC2086
    run export $options "$input" shown.gif
    expect_status 0 "export $options $input"
    probe shown.gif
    expect_probe size "$size"
  done <<'CASES'
|turned.mp4|16 32
--width 8|turned.mp4|8 16
|wide.mp4|64 16
CASES
  run export turned.mp4 turned.gif
  probe turned.gif "0:$(echo "$marker" | tr ' ' ':')"
  [ "$(probe_line pixel | cut -d' ' -f4)" -gt 128 ] || fail "turned.mp4: no marker at $marker, where ffmpeg shows it"
  # Trimming, from a file (sought) and through a pipe (read from the start):
  # as many frames as ffmpeg's -ss and -t/-to give, exit status 0.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25:duration=20 -c:v libx264 -g 50 -y long.mp4
  while IFS='|' read -r options ffmpeg_options; do
    # shellcheck disable=SC2086
    want=$(ffmpeg -v error -nostdin $ffmpeg_options -f framemd5 - | grep -vc '^#')
    # shellcheck disable=SC2086
    run export $options long.mp4 trimmed.gif
    expect_status 0 "export $options"
    expect_message trimmed.gif "$want"
    # shellcheck disable=SC2086
    # rozove stops reading at the end it was given: ffmpeg may then meet a closed pipe.
    { ffmpeg -v quiet -nostdin -i long.mp4 -f matroska - || true; } |
      timeout 60 $emulator "$rozove" export $options - piped.gif >out.txt 2>err.txt
    status=$?; out=$(cat out.txt); err=$(cat err.txt)
    expect_status 0 "export $options from a pipe"
    expect_message piped.gif "$want"
  done <<'CASES'
--start 12 --duration 3|-ss 12 -i long.mp4 -t 3
--start 0:12.2 --to 00:00:13|-ss 12.2 -i long.mp4 -to 0.8
--start 19.5|-ss 19.5 -i long.mp4
--start 12s --duration 1500ms|-ss 12s -i long.mp4 -t 1500ms
--start +12200000us --to 13s|-ss 12200000us -i long.mp4 -to 0.8
CASES
  # A pipe by name is read once: a shell's <(...) (/dev/fd/N) and a FIFO,
  # Matroska and Y4M, all 30 frames.
  run export <(ffmpeg -v error -nostdin -i clip.mp4 -f matroska -) fd.gif
  expect_status 0 "export <(...)"
  expect_message fd.gif 30
  rm -f named.fifo && mkfifo named.fifo
  { timeout 60 ffmpeg -v error -nostdin -i clip.mp4 -pix_fmt yuv420p -f yuv4mpegpipe - >named.fifo & } 2>/dev/null
  run export named.fifo fifo.gif
  wait
  expect_status 0 "export a FIFO"
  expect_message fifo.gif 30
  # Stills: a numbered sequence (ffmpeg's %04d), one image and the cover
  # picture of a sound file, each image one frame, at 25 a second or --fps.
  mkdir -p frames
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 5 -y frames/%04d.png
  ffmpeg -v error -nostdin -f lavfi -i sine=duration=1 -i frames/0001.png -map 0 -map 1 -c:v png \
    -disposition:v attached_pic -y cover.mp3
  sequence=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 frames/%04d.png)
  while IFS='|' read -r options input frames delays; do
    # shellcheck disable=SC2086
    run export $options "$input" stills.gif
    expect_status 0 "export $options $input"
    expect_message stills.gif "$frames"
    probe stills.gif
    expect_probe delays "$delays"
  done <<CASES
|frames/%04d.png|$sequence|4 4 4 4 4
--fps 10|frames/%04d.png|$sequence|10 10 10 10 10
|frames/0003.png|1|4
|cover.mp3|1|4
CASES
  # Interlaced frames are taken as they are in every container: one clip as
  # Y4M, MP4 and TS gives its 6 frames and exit status 0 each time.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 6 -vf setfield=tff -pix_fmt yuv420p \
    -y woven.y4m
  ffmpeg -v error -nostdin -i woven.y4m -c:v libx264 -flags +ildct+ilme -y woven.mp4
  ffmpeg -v error -nostdin -i woven.y4m -c:v mpeg2video -flags +ildct+ilme -y woven.ts
  for input in woven.y4m woven.mp4 woven.ts; do
    run export "$input" woven.gif
    expect_status 0 "export interlaced $input"
    expect_message woven.gif 6
  done
  # A 10-bit stream and one with alpha.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 5 -pix_fmt yuv420p10le -c:v ffv1 -y deep.mkv
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 5 -vf format=rgba -c:v png -y alpha.mov
  for input in deep.mkv alpha.mov; do
    run export "$input" "$input.gif"
    expect_status 0 "export $input"
    expect_message "$input.gif" 5
    probe "$input.gif"
    expect_probe size "64 36"
  done
  # Bad inputs: one line, the existing output untouched.
  ffmpeg -v error -nostdin -f lavfi -i sine=duration=1 -y sound.m4a
  head -c 2000 clip.mp4 >cut.mp4
  printf 'not a video at all\n' >text.mp4
  while IFS='|' read -r input words; do
    keep_output out.gif
    run export "$input" out.gif
    expect_status 1 "$input"
    expect_one_line_error "$input" "$words"
    expect_kept out.gif "$input"
  done <<'CASES'
sound.m4a|no video stream
cut.mp4|cut.mp4
text.mp4|text.mp4
missing.mp4|missing.mp4
CASES
  # Damage in the middle of a stream: the frames before it, the true count,
  # exit status 1.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 40 -pix_fmt yuv420p -c:v mpeg4 -f mpegts -y clip.ts
  size=$(stat -c %s clip.ts)
  head -c $((size / 2)) clip.ts >half.ts
  cat half.ts | timeout 60 $emulator "$rozove" export - half.gif >out.txt 2>err.txt
  status=$?; out=$(cat out.txt); err=$(cat err.txt)
  probe half.gif
  frames=$(probe_line frames)
  # Done (the cut fell between packets) shows the message; a cut input the error line.
  [ "$(message_count "$out")" == "$frames" ] || [[ "$err" == *"holds the $frames frame"* ]] ||
    [[ "$err" == *"holds all $frames frames"* ]] ||
    fail "cut stream: the message [$out] or the error [$err] counts otherwise; the GIF holds $frames"
  if [ "${frames:-0}" -lt 1 ] || [ "${frames:-0}" -ge 40 ]; then fail "cut stream: $frames frames"; fi
  # Matroska through a pipe, cut exactly between two packets: its declared
  # length tells; the 20 frames it holds, exit status 1.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 40 -c:v ffv1 -y forty.mkv
  head -c "$(ffprobe -v error -show_entries packet=pos -of csv=p=0 forty.mkv | sed -n 21p)" forty.mkv >cut20.mkv
  cat cut20.mkv | timeout 60 $emulator "$rozove" export - cut20.gif >out.txt 2>err.txt
  status=$?; out=$(cat out.txt); err=$(cat err.txt)
  expect_status 1 "matroska cut between packets"
  # A failed job shows no success message: the error line tells the count.
  [ -z "$out" ] || fail "cut pipe: a message on a failed job: $out"
  [[ "$err" == *"cut20.gif holds the 20 frames"* ]] || fail "cut pipe: the error does not count 20 frames: $err"
  expect_one_line_error "matroska cut between packets" "of the 1.60 s its header gives"
  # A frame garbled in the middle: skipped as plain ffmpeg skips it, the
  # frame before held for its time, named in one line; the clip keeps its
  # 20 frames and the exit status is 1.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 20 -c:v libx264 -g 1 -y whole.mp4
  size=$(stat -c %s whole.mp4)
  { head -c $((size * 2 / 3)) whole.mp4; yes garbled | head -c 200; tail -c +$((size * 2 / 3 + 201)) whole.mp4; } >garbled.mp4
  lost=$((20 - $(ffprobe -v quiet -count_frames -select_streams v:0 \
                   -show_entries stream=nb_read_frames -of csv=p=0 garbled.mp4)))
  run export garbled.mp4 garbled.gif
  expect_status 1 "garbled frame"
  [ -z "$out" ] || fail "garbled frame: a message on a failed job: $out"
  expect_one_line_error "garbled frame" "cannot be decoded"
  [[ "$err" == *"garbled.gif holds all 20 frames"* ]] || fail "garbled frame: the error does not count 20 frames: $err"
  [ "$lost" -ge 1 ] || fail "garbled.mp4: ffprobe lost no frame"
  [ "$lost" -eq 1 ] || [[ "$err" == *"$lost frames cannot be decoded"* ]] || fail "garbled.mp4: $lost lost, told: $err"
  ;;
timed_frames)
  # Frames at uneven times keep each its own time, as ffmpeg keeps them,
  # from a file and through a pipe alike.
  # A GIF whose frames last 10, 50, 20, 100, 7 and 13 hundredths.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x48:rate=100:duration=3 \
    -vf "select='eq(n,0)+eq(n,10)+eq(n,60)+eq(n,80)+eq(n,180)+eq(n,187)+eq(n,200)'" -fps_mode vfr -y uneven.gif
  probe uneven.gif && cp probe.txt uneven.txt
  for way in file pipe; do
    if [ $way = file ]; then run export uneven.gif uneven-$way.gif
    else cat uneven.gif | timeout 60 $emulator "$rozove" export - uneven-$way.gif >out.txt 2>err.txt; status=$?; fi
    expect_status 0 "a GIF with uneven delays ($way)"
    probe uneven-$way.gif
    expect_probe frames "$(grep '^frames ' uneven.txt | cut -d' ' -f2-)"
    expect_probe delays "$(grep '^delays ' uneven.txt | cut -d' ' -f2-)"
  done
  # A mostly idle 60 fps screen recording: half a second of motion, 9 s
  # still, half a second of motion. Frames a sixtieth apart are folded in
  # pairs (a GIF shows nothing shorter than 2 hundredths), said in one line;
  # the pause is one long delay and the GIF lasts the recording's 10 s.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x48:rate=60:duration=10 \
    -vf "select='lt(n,30)+gte(n,570)',setpts='if(lt(N,30),N,N+540)/60/TB'" -fps_mode vfr \
    -c:v libx264 -pix_fmt yuv420p -y idle.mp4
  run export idle.mp4 idle.gif
  expect_status 0 "an idle screen recording"
  [[ "$err" == *"30 frames less than 2 hundredths"*"folded"* ]] || fail "no word of the folded frames: $err"
  expect_ffprobe idle.gif 30 10.00
  probe idle.gif
  [[ " $(probe_line delays) " == *" 904 "* ]] || fail "the 9 s pause is not one delay: $(probe_line delays)"
  # A 1-a-second timelapse with B-frames through a pipe: its 10 frames, a
  # second each, with nothing read ahead to guess a rate.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x48:rate=1:duration=10 -c:v libx264 -bf 2 -pix_fmt yuv420p \
    -f mp4 -movflags frag_keyframe+empty_moov -y lapse.mp4
  cat lapse.mp4 | timeout 60 $emulator "$rozove" export - lapse.gif >out.txt 2>err.txt
  status=$?
  expect_status 0 "a slow pipe"
  expect_ffprobe lapse.gif 10 10.00
  # A damaged MPEG-TS whose last frame is stamped 5,594 s: damage to the
  # timing, not a pause; the GIF lasts the second its frames span.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x48:rate=25:duration=1 \
    -vf "setpts='if(eq(N,24),5594/TB,PTS)'" -fps_mode passthrough -c:v mpeg2video -y jump.ts
  run export jump.ts jump.gif
  expect_status 0 "a jump in an MPEG-TS"
  [[ "$err" == *"jump 1 time"* ]] || fail "no word of the mended timing: $err"
  expect_ffprobe jump.gif 25 1.00
  # One frame of a Matroska file stamped 20 s late (its block's time
  # patched): timed between its neighbours, not a pause, file and pipe.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x48:rate=25:duration=2 -c:v libx264 -bf 0 -pix_fmt yuv420p \
    -y plain.mkv
  python3 - <<'PY' || fail "no block at 480 ms in plain.mkv"
import re
data = bytearray(open('plain.mkv', 'rb').read())
# A SimpleBlock (its size in 1 or 2 bytes) of track 1 whose time is 480 ms.
at = [m.end() - 2 for m in re.finditer(rb'\xa3(?:[\x80-\xff]|[\x40-\x7f].)\x81\x01\xe0', data, re.S)]
assert len(at) == 1
data[at[0]:at[0] + 2] = (20480).to_bytes(2, 'big')
open('stamped.mkv', 'wb').write(data)
PY
  for way in file pipe; do
    if [ $way = file ]; then run export stamped.mkv stamped.gif
    else cat stamped.mkv | timeout 60 $emulator "$rozove" export - stamped.gif >out.txt 2>err.txt; status=$?; err=$(cat err.txt); fi
    expect_status 0 "one frame mis-stamped ($way)"
    [[ "$err" == *"jump 1 time"* ]] || fail "one frame mis-stamped ($way): no word of the mended timing: $err"
    expect_ffprobe stamped.gif 50 2.00
  done
  # A constant-rate clip through a pipe, timed by its frames, gives the
  # file's GIF byte for byte, whose delays are the module's own.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x48:rate=30000/1001:duration=2 -c:v libx264 -pix_fmt yuv420p \
    -y steady.mkv
  run export steady.mkv steady.gif
  cat steady.mkv | timeout 60 $emulator "$rozove" export - steady-pipe.gif >out.txt 2>err.txt
  cmp -s steady.gif steady-pipe.gif || fail "a constant-rate clip through a pipe gives another GIF than the file"
  probe steady.gif
  [[ "$(probe_line delays)" == "$ntsc_delays_20"* ]] || fail "29.97 fps delays: $(probe_line delays)"
  ;;
several_stills)
  # gifski's habit: several still images, then the GIF. Each image is gray
  # with a white 8x8 marker further right the later it was made; names
  # with blanks, quotes and non-ASCII letters.
  mkdir -p stills
  names=("stills/a one.png" "stills/b'two\".png" "stills/çe.png")
  for i in 0 1 2; do
    ffmpeg -v error -nostdin -f lavfi -i "color=c=gray:size=64x36,drawbox=x=$((i * 20)):y=0:w=8:h=8:c=white:t=fill" \
      -frames:v 1 -y "${names[$i]}" || fail "ffmpeg could not make ${names[$i]}"
  done
  # Given out of their making order, with --no-sort: the GIF keeps the order given.
  run export --no-sort "${names[2]}" "${names[0]}" "${names[1]}" stills.gif
  expect_status 0 "three stills"
  expect_message stills.gif 3
  probe stills.gif 0:42:2 1:2:2 2:22:2 0:2:2
  expect_probe size "64 36"
  expect_probe frames 3
  expect_probe delays "4 4 4"
  for at in "0 42 2" "1 2 2" "2 22 2"; do
    grep -qx "pixel $at 255" probe.txt || fail "three stills: no marker at $at: $(grep pixel probe.txt)"
  done
  grep -qx 'pixel 0 2 2 255' probe.txt && fail "three stills: frame 0 shows the first image's marker"
  # The same images as a list and as a numbered sequence give the same GIF,
  # trimmed alike; --fps sets the delay.
  mkdir -p seq
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 10 -y seq/%04d.png
  while IFS='|' read -r options; do
    # shellcheck disable=SC2086
    run export $options seq/%04d.png pattern.gif
    # shellcheck disable=SC2086
    run export $options seq/*.png list.gif
    expect_status 0 "a list of 10 with [$options]"
    cmp -s pattern.gif list.gif || fail "[$options]: the list's GIF differs from the sequence's"
  done <<'CASES'

--start 0.2 --duration 0.12
--to 0.1
--fps 10 --start 0.2 --to 0.5
CASES
  # A shell's glob of 1.png ... 12.png gives 1, 10, 11, 12, 2, ...: they
  # are taken in natural order, as the numbered sequence is; --no-sort
  # keeps the glob's order.
  mkdir -p natural
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 12 -y natural/%d.png
  run export natural/%d.png pattern.gif
  run export natural/*.png list.gif
  expect_status 0 "natural/*.png"
  cmp -s pattern.gif list.gif || fail "natural/*.png: not in natural order"
  run export --no-sort natural/*.png glob.gif
  cmp -s pattern.gif glob.gif && fail "--no-sort: the images were sorted"
  # At 10 a second image i is at i / 10: 0.2 to 0.5 s holds images 3 to 5.
  run export --fps 10 --start 0.2 --to 0.5 seq/*.png fps.gif
  expect_message fps.gif 3
  probe fps.gif
  expect_probe delays "10 10 10"
  run export --fps 10 seq/0003.png seq/0004.png seq/0005.png three.gif
  cmp -s fps.gif three.gif || fail "--fps 10 --start 0.2 --to 0.5: not images 3 to 5"
  cat seq/*.png | timeout 60 "$rozove" export --fps 10 --start 0.2 --to 0.5 - piped.gif >/dev/null 2>err.txt
  cmp -s fps.gif piped.gif || fail "--fps 10 --start 0.2 --to 0.5 through a pipe: $(cat err.txt)"
  # Other sizes are scaled to the first image's size, or to --width.
  ffmpeg -v error -nostdin -f lavfi -i "color=c=gray:size=128x36,drawbox=x=40:y=0:w=16:h=8:c=white:t=fill" \
    -frames:v 1 -y stills/wide.jpg
  run export "${names[0]}" stills/wide.jpg sizes.gif
  expect_status 0 "two sizes"
  probe sizes.gif 1:21:2
  expect_probe size "64 36"
  level=$(grep '^pixel 1 21 2 ' probe.txt | cut -d' ' -f5)
  [ "${level:-0}" -ge 200 ] || fail "two sizes: the wide image's marker is not where its scale puts it: $level"
  run export --no-sort --width 32 stills/wide.jpg "${names[0]}" narrow.gif
  probe narrow.gif
  expect_probe size "32 9"
  # Refused before the output is touched: what is no still image (exit 2),
  # a missing image (exit 1), the output among the inputs and a picture as
  # the output, i.e. OUT.gif forgotten (exit 2).
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 3 -y clip.mp4
  printf 'not a picture\n' >notes.txt
  while IFS='|' read -r bad status words; do
    cp stills.gif out.gif
    run export "${names[0]}" "$bad" "${names[1]}" out.gif
    expect_status "$status" "$bad among the stills"
    expect_one_line_error "$bad among the stills" "$words"
    cmp -s stills.gif out.gif || fail "$bad among the stills: the earlier out.gif changed"
  done <<'CASES'
clip.mp4|2|clip.mp4 is not a still image
notes.txt|2|notes.txt is not a still image
missing.png|1|missing.png
CASES
  cp "${names[1]}" before.png
  run export "${names[0]}" "${names[1]}" "${names[1]}"
  expect_status 2 "the output among the inputs"
  expect_one_line_error "the output among the inputs" "one of the inputs"
  run export "${names[0]}" "${names[2]}" "${names[1]}"
  expect_status 2 "a picture as the output"
  expect_one_line_error "a picture as the output" "OUT.gif"
  run export "${names[0]}" "${names[1]}"
  expect_status 2 "two images, the second taken for the output"
  expect_one_line_error "two images" "is a PNG picture"
  cmp -s before.png "${names[1]}" || fail "a refused export changed an input"
  # An image that cannot be decoded once the GIF has begun: the one before
  # it is held in its place, named at the end, exit status 1.
  printf 'not a picture\n' >stills/broken.png
  run export --no-sort "${names[0]}" stills/broken.png "${names[1]}" held.gif
  expect_status 1 "a broken image among them"
  expect_one_line_error "a broken image" "stills/broken.png cannot be decoded"
  probe held.gif 1:2:2 2:22:2
  expect_probe frames 3
  grep -qx 'pixel 1 2 2 255' probe.txt || fail "a broken image: the image before it is not held"
  ;;
interlaced_y4m)
  # Interlaced Y4M is taken as it is from a file and from a pipe alike, with
  # one note, worded as for the other containers.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 6 -vf setfield=tff -pix_fmt yuv420p \
    -f yuv4mpegpipe -y woven.y4m || fail "ffmpeg could not make woven.y4m"
  run export woven.y4m file.gif
  expect_status 0 "an interlaced Y4M file"
  expect_message file.gif 6
  expect_one_line_error "an interlaced Y4M file" "woven.y4m is interlaced"
  note=${err#*woven.y4m}
  cat woven.y4m | timeout 60 "$rozove" export - piped.gif >out.txt 2>err.txt
  status=$?; err=$(cat err.txt)
  expect_status 0 "an interlaced Y4M pipe"
  [ "$err" == "rozove: warning: standard input$note" ] || fail "the pipe's note: [$err], the file's: [$note]"
  cmp -s file.gif piped.gif || fail "an interlaced Y4M: the pipe's GIF differs from the file's"
  ffmpeg -v error -nostdin -i woven.y4m -c:v libx264 -flags +ildct+ilme -y woven.mp4
  run export woven.mp4 mp4.gif
  expect_status 0 "an interlaced MP4"
  [ "$err" == "rozove: warning: woven.mp4$note" ] || fail "the MP4's note: [$err], the Y4M's: [$note]"
  run export --quiet woven.y4m quiet.gif
  [ -z "$out$err" ] || fail "--quiet printed: [$out] [$err]"
  ;;
demo)
  run demo
  expect_status 0 "demo"
  expect_message demo.gif 90
  probe demo.gif
  expect_probe size "320 180"
  expect_probe frames 90
  expect_probe loop 0
  expect_ffprobe demo.gif 90 3.00
  run demo --loop 2 other.gif
  expect_status 0 "demo --loop 2"
  probe other.gif
  expect_probe loop 2
  ;;
info_help_version)
  run info
  expect_status 0 "info"
  for want in "name         Rozove" "GIF File (*.gif)  *.gif" "AllFile (*.*)  *.*" \
              "settings     8 bytes: 00 00 00 00 00 00 00 00" "zezodav_odevad"; do
    [[ "$out" == *"$want"* ]] || fail "info lacks '$want': $out"
  done
  run --help
  expect_status 0 "--help"
  [[ "$out" == *"Usage: rozove"* ]] || fail "--help: $out"
  run --version
  expect_status 0 "--version"
  [[ "$out" == "rozove "[0-9]* ]] || fail "--version: $out"
  [[ "$out" == *"MIT licence"* ]] || fail "--version names no licence: $out"
  if [[ "$out" == *"FFmpeg's libraries"* ]]; then
    version=$(ffprobe -v quiet -version | awk '$1 == "libavformat" { gsub(/ /, ""); print }' | sed 's/libavformat//; s/\/.*//')
    [[ "$out" == *"video libraries: libavformat $version, libavcodec "*", libswscale "*", libavutil "* ]] ||
      fail "--version: no FFmpeg versions [$version]: $out"
  fi
  ;;
progress_bar)
  # Standard error on a terminal gets the bar; `script` gives it one.
  command -v script >/dev/null || { echo "no script(1): skipped"; exit 0; }
  make_y4m clip.y4m 20 64x36 25
  timeout 60 script -qec "$rozove export clip.y4m out.gif" typescript.txt >/dev/null 2>&1
  grep -q '20/20' typescript.txt || fail "no finished progress bar: $(cat -v typescript.txt)"
  grep -q 'fps' typescript.txt || fail "no speed in the progress bar"
  ;;
nothing_lost)
  # An existing output is replaced only by a complete new file, written
  # beside it and moved into place; what is refused or fails leaves its
  # bytes as they were and no new file behind.
  make_y4m clip.y4m 6 32x18 25
  run export clip.y4m good.gif
  cp good.gif before.gif
  # Done: the user's path in the message, the earlier mode kept, nothing left.
  cp before.gif out.gif && chmod 640 out.gif
  run export --loop 2 clip.y4m out.gif
  expect_status 0 "export over an earlier file"
  expect_message out.gif 6
  [ "$(stat -c %a out.gif)" == 640 ] || fail "the new file lost the earlier mode: $(stat -c %a out.gif)"
  # The loaded module and rozove itself, by path, link and hard link.
  cp "$rozove" rozove && cp "$(dirname "$rozove")/zezodav_odevad.so" zezodav_odevad.so
  cp rozove rozove.keep && cp zezodav_odevad.so module.keep
  ln -s zezodav_odevad.so module-link.gif && ln zezodav_odevad.so module-hard.gif && ln rozove rozove-hard.gif
  while IFS='|' read -r output words; do
    timeout 60 ./rozove export clip.y4m "$output" >out.txt 2>err.txt
    status=$?; err=$(cat err.txt)
    expect_status 2 "output $output"
    expect_one_line_error "output $output" "$words"
  done <<'CASES'
zezodav_odevad.so|is the module rozove loads
module-link.gif|is the module rozove loads
module-hard.gif|is the module rozove loads
./rozove|is rozove itself
rozove-hard.gif|is rozove itself
CASES
  cmp -s rozove rozove.keep || fail "rozove was changed"
  cmp -s zezodav_odevad.so module.keep || fail "the module was changed"
  # Standard output named as a file: the GIF alone there, the message on standard error.
  for output in /dev/stdout /proc/self/fd/1; do
    timeout 60 $emulator "$rozove" export clip.y4m "$output" >named.gif 2>err.txt
    status=$?; err=$(cat err.txt)
    expect_status 0 "export to $output"
    cmp -s good.gif named.gif || fail "$output: the GIF differs from the file's"
    [ "$err" == "$(completion_text 'standard output' 6)" ] || fail "$output: standard error [$err]"
  done
  # One mistake, one message and one status.
  mkdir folder
  while IFS='|' read -r first second; do
    eval "$first" >/dev/null 2>err1.txt; status1=$?
    eval "$second" >/dev/null 2>err2.txt; status2=$?
    { [ "$status1" == "$status2" ] && cmp -s err1.txt err2.txt; } ||
      fail "[$first] and [$second] differ: $status1 $(cat err1.txt) / $status2 $(cat err2.txt)"
  done <<'CASES'
"$rozove" export - out.gif </dev/null|: | "$rozove" export - out.gif
"$rozove" export clip.y4m folder|"$rozove" export clip.y4m folder/
CASES
  # Stopped while waiting on a silent pipe, before a frame and after the
  # header: out within a second (a tenth, as the stop is looked at), the
  # earlier file as it was.
  # H.264 too: its decoder's frame threads must not take the stop.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 10 -c:v libx264 -f mpegts -y clip.ts
  cp before.gif out.gif
  for feed in "sleep 4" "head -1 clip.y4m; sleep 4" "cat clip.ts; sleep 4"; do
    { eval "$feed"; } | $emulator "$rozove" export - out.gif >out.txt 2>err.txt &
    host=$!
    sleep 1
    start=$(date +%s%N)
    kill -s INT "$host"
    # rozove's own end, timed; `wait` then waits for the feeder too.
    for _ in $(seq 200); do kill -0 "$host" 2>/dev/null || break; sleep 0.02; done
    took=$(( ($(date +%s%N) - start) / 1000000 ))
    wait_host "$host"
    expect_status 130 "stopped on a silent pipe ($feed)"
    [ "$took" -lt 1000 ] || fail "stopped on a silent pipe ($feed): $took ms"
    echo "stopped on a silent pipe ($feed) in $took ms"
    expect_one_line_error "silent pipe ($feed)" "the earlier out.gif was kept"
    cmp -s before.gif out.gif || fail "silent pipe ($feed): the earlier file was changed"
  done
  # A FIFO as the output that nobody reads: a stop ends the wait for a
  # reader, and nothing is left behind (here or in TMPDIR).
  rm -f out.fifo && mkfifo out.fifo && mkdir -p spool
  TMPDIR=$PWD/spool $emulator "$rozove" export clip.y4m out.fifo >out.txt 2>err.txt &
  host=$!
  sleep 1
  kill -s INT "$host"
  wait_host "$host"
  expect_status 130 "stopped waiting for the FIFO's reader"
  expect_one_line_error "stopped waiting for the FIFO's reader" "interrupted; out.fifo got nothing"
  [ -z "$(ls spool)" ] || fail "a FIFO's stop left in TMPDIR: $(ls spool)"
  # A stop after some frames: the new file, complete, takes the place.
  make_y4m long.y4m 60 64x36 25
  interrupt_export INT long.y4m out.gif
  expect_status 130 "interrupted over an earlier file"
  probe out.gif
  frames=$(probe_line frames)
  if [ "${frames:-0}" -lt 1 ] || [ "${frames:-0}" -ge 60 ]; then fail "interrupted: $frames frames"; fi
  expect_no_leftover "nothing_lost"
  # The progress line fits a narrow terminal.
  if command -v script >/dev/null; then
    for cols in 40 24; do
      timeout 60 script -qec "stty cols $cols; $rozove export long.y4m wide.gif" typescript.txt >/dev/null 2>&1
      longest=$(tr '\r' '\n' <typescript.txt | grep -a '60' | awk '{ if (length > n) n = length } END { print n + 0 }')
      { [ "$longest" -gt 0 ] && [ "$longest" -lt "$cols" ]; } || fail "$cols columns: a progress line of $longest"
    done
  fi
  ;;
full_disk)
  # A small full file system (tmpfs, made here as root): the reason named,
  # the earlier file kept byte for byte, nothing left behind.
  [ "$(id -u)" -eq 0 ] || { echo "not root: no tmpfs can be made here, skipped"; exit 0; }
  mkdir small
  mount -t tmpfs -o size=64k tmpfs small || { echo "mount refused: skipped"; exit 0; }
  trap 'umount "$work/small"' EXIT
  make_y4m small.y4m 2 32x18 25
  ffmpeg -v error -nostdin -f lavfi -i "testsrc=size=160x120:rate=25,noise=alls=100:allf=t+u" -frames:v 30 \
    -pix_fmt yuv420p -f yuv4mpegpipe -y noise.y4m || fail "ffmpeg could not make noise.y4m"
  run export small.y4m small/out.gif
  expect_status 0 "a small GIF onto the small file system"
  cp small/out.gif before.gif
  run export noise.y4m small/out.gif
  expect_status 1 "full file system"
  expect_one_line_error "full file system" "no space left on the device (ENOSPC)"
  expect_one_line_error "full file system" "the earlier small/out.gif was kept"
  [ -z "$out" ] || fail "full file system: a completion message: $out"
  cmp -s before.gif small/out.gif || fail "full file system: the earlier file was changed"
  [ "$(ls -A small)" == out.gif ] || fail "full file system: left behind: $(ls -A small)"
  # No earlier file: none made.
  rm small/out.gif
  run export noise.y4m small/new.gif
  expect_status 1 "full file system, new file"
  expect_one_line_error "full file system, new file" "no file was made"
  [ -z "$(ls -A small)" ] || fail "full file system: left behind: $(ls -A small)"
  ;;
disk_quota)
  # A disk quota used up (btrfs, whose quota groups need nothing from the
  # kernel beyond the file system; made here as root): EDQUOT named, where
  # the module writes and where rozove writes standard output itself.
  [ "$(id -u)" -eq 0 ] && command -v mkfs.btrfs >/dev/null || { echo "not root or no mkfs.btrfs: skipped"; exit 0; }
  truncate -s 128M quota.img
  mkdir quota
  { mkfs.btrfs -q quota.img && mount -o loop quota.img quota; } >/dev/null 2>&1 || { echo "mount refused: skipped"; exit 0; }
  trap 'umount "$work/quota"' EXIT
  { btrfs quota enable quota && btrfs subvolume create quota/limited && btrfs qgroup limit 256k quota/limited; } \
    >/dev/null || fail "cannot set a quota on btrfs"
  make_y4m small.y4m 2 32x18 25
  ffmpeg -v error -nostdin -f lavfi -i "testsrc=size=160x120:rate=25,noise=alls=100:allf=t+u" -frames:v 30 \
    -pix_fmt yuv420p -f yuv4mpegpipe -y noise.y4m || fail "ffmpeg could not make noise.y4m"
  run export small.y4m quota/limited/out.gif
  expect_status 0 "a small GIF within the quota"
  cp quota/limited/out.gif before.gif
  run export noise.y4m quota/limited/out.gif
  expect_status 1 "quota used up"
  expect_one_line_error "quota used up" "the disk quota is used up (EDQUOT)"
  expect_one_line_error "quota used up" "the earlier quota/limited/out.gif was kept"
  cmp -s before.gif quota/limited/out.gif || fail "quota used up: the earlier file was changed"
  [ "$(ls -A quota/limited)" == out.gif ] || fail "quota used up: left behind: $(ls -A quota/limited)"
  timeout 60 "$rozove" export noise.y4m - >quota/limited/piped.gif 2>err.txt
  status=$?; err=$(cat err.txt)
  expect_status 1 "quota used up through standard output"
  expect_one_line_error "quota used up through standard output" "the disk quota is used up (EDQUOT)"
  ;;
damaged_stream)
  # An MPEG-TS with one 188-byte packet lost a third of the way in: every
  # frame kept, as ffmpeg keeps it, the damaged one named once at the end,
  # exit status 1 (a pipe and ffmpeg's count: the decoder's own test).
  "$rozove" --version | grep -q "FFmpeg's libraries" || { echo "no video input in this build: skipped"; exit 0; }
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=320x180:rate=25 -frames:v 100 -c:v mpeg2video -g 12 \
    -f mpegts -y whole.ts || fail "ffmpeg could not make whole.ts"
  n=$(( $(stat -c %s whole.ts) / 188 / 3 ))
  { head -c $(( n * 188 )) whole.ts; tail -c +$(( (n + 1) * 188 + 1 )) whole.ts; } >lost.ts
  run export lost.ts out.gif
  expect_status 1 "a lost packet"
  expect_one_line_error "a lost packet" "came damaged from the input"
  [[ "$err" == *"out.gif holds all 100 frames"* ]] || fail "a lost packet: the GIF is not said to be whole: $err"
  probe out.gif
  expect_probe frames 100
  # A first frame that cannot be decoded: the one after it stands in for
  # it, and the GIF is said to hold every frame.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 10 -c:v png -y png.mkv ||
    fail "ffmpeg could not make png.mkv"
  IFS=, read -r size pos < <(ffprobe -v error -show_entries packet=size,pos -of csv=p=0 png.mkv)
  { head -c $((pos + size / 2)) png.mkv; printf garbled; tail -c +$((pos + size / 2 + 8)) png.mkv; } >first.mkv
  run export first.mkv out.gif
  expect_status 1 "a first frame lost"
  expect_one_line_error "a first frame lost" "frame 1 cannot be decoded"
  [[ "$err" == *"the frame after it is shown in its place; out.gif holds all 10 frames" ]] ||
    fail "a first frame lost: $err"
  # Two recordings joined with cat: the second one's times start again, 2 s
  # back. Every frame at the first one's pace, the mending said, exit 0
  # where the decoder mended nothing, from a file and through a pipe.
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=160x90:rate=25 -t 2 -c:v libx264 -f mpegts -y part.ts ||
    fail "ffmpeg could not make part.ts"
  cat part.ts part.ts >joined.ts
  for way in file pipe; do
    if [ $way = file ]; then run export joined.ts joined.gif
    else cat joined.ts | timeout 60 "$rozove" export - joined.gif >out.txt 2>err.txt; status=$?; err=$(cat err.txt); fi
    expect_status 0 "joined recordings ($way)"
    [[ "$err" == *"timestamps jump 1 time"* ]] || fail "joined recordings ($way): no word of the mended timing: $err"
    probe joined.gif
    expect_probe frames 100
    expect_probe delays "$(printf '4 %.0s' {1..100} | sed 's/ $//')"
  done
  # --start counts in the mended times: 3 s in is 1 s into the second one.
  run export --start 3 joined.ts joined.gif
  expect_status 0 "joined recordings from 3 s"
  probe joined.gif
  expect_probe frames 25
  ;;
stream_choice)
  # Of several video streams, the one ffmpeg takes (its own choice is the
  # oracle), or the one --stream numbers; a number that names no video is
  # refused with the streams listed and the earlier output kept.
  "$rozove" --version | grep -q "FFmpeg's libraries" || { echo "no video input in this build: skipped"; exit 0; }
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=160x90:rate=25:d=0.4 -f lavfi -i sine=d=0.4 \
    -f lavfi -i testsrc2=size=320x180:rate=25:d=0.4 -map 0 -map 1 -map 2 -disposition:v 0 -c:v libx264 \
    -y plain.mkv || fail "ffmpeg could not make plain.mkv"
  ffmpeg -v error -nostdin -i plain.mkv -map 0 -c copy -disposition:v:0 default -disposition:v:1 0 \
    -y flagged.mkv || fail "ffmpeg could not make flagged.mkv"
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=320x180:d=0.04 -frames:v 1 -y cover.png
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=160x90:rate=25:d=0.4 -i cover.png -map 0 -map 1 \
    -c:v:0 libx264 -c:v:1 png -disposition:v:1 attached_pic -y covered.mp4 || fail "ffmpeg could not make covered.mp4"
  while IFS='|' read -r options input size; do
    # shellcheck disable=SC2086
    run export $options "$input" out.gif
    expect_status 0 "$input $options"
    probe out.gif
    expect_probe size "$size"
    expect_probe frames 10
    if [ -z "$options" ]; then
      ffmpeg -v error -nostdin -i "$input" -frames:v 1 -y chosen.png
      [ "$(ffprobe -v error -show_entries stream=width,height -of csv=p=0 chosen.png)" == "${size/ /,}" ] ||
        fail "$input: ffmpeg takes another stream than $size"
    fi
  done <<'CASES'
|plain.mkv|320 180
|flagged.mkv|160 90
|covered.mp4|160 90
--stream 0|plain.mkv|160 90
--stream=2|flagged.mkv|320 180
CASES
  keep_output kept.gif
  for number in 1 3; do
    run export --stream $number plain.mkv kept.gif
    expect_status 1 "--stream $number"
    expect_one_line_error "--stream $number" "streams: 0 video (160x90), 1 audio, 2 video (320x180)"
    expect_kept kept.gif "--stream $number"
  done
  ;;
one_colour_rule)
  # An untagged HD clip gives the same grays read directly, scaled, and
  # through Y4M (a pipe and a file, scaled or not): one matrix rule on
  # every route. giflib reads the gray index at the picture's middle.
  "$rozove" --version | grep -q "FFmpeg's libraries" || { echo "no video input in this build: skipped"; exit 0; }
  ffmpeg -v error -nostdin -f lavfi -i color=c=0xD02040:size=1280x720:rate=25,format=rgb24 -frames:v 3 \
    -c:v libx264 -pix_fmt yuv420p -y hd.mp4 || fail "ffmpeg could not make hd.mp4"
  [ "$(ffprobe -v error -show_entries stream=color_space -of csv=p=0 hd.mp4)" == unknown ] ||
    fail "hd.mp4 names its matrix"
  ffmpeg -v error -nostdin -i hd.mp4 -f yuv4mpegpipe -y hd.y4m
  grays=""
  while IFS='|' read -r options input middle; do
    if [ "$input" = pipe ]; then
      ffmpeg -v error -nostdin -i hd.mp4 -f yuv4mpegpipe - | timeout 120 "$rozove" export - out.gif >out.txt 2>err.txt
      status=$?; err=$(cat err.txt)
    else
      # shellcheck disable=SC2086
      run export $options "$input" out.gif
    fi
    expect_status 0 "$input $options"
    probe out.gif "0:$middle"
    grays="$grays $(probe_line pixel | cut -d' ' -f4)"
  done <<'CASES'
|hd.mp4|640:360
--width 640|hd.mp4|320:180
|pipe|640:360
|hd.y4m|640:360
--width 640|hd.y4m|320:180
CASES
  read -r -a levels <<<"$grays"
  for level in "${levels[@]}"; do
    [ "${level:-999}" -ge $(( levels[0] - 3 )) ] && [ "${level:-999}" -le $(( levels[0] + 3 )) ] ||
      fail "grays differ by route: $grays"
  done
  ;;
url_input)
  # A URL served on the loopback by python3's http.server, read as ffmpeg
  # reads it; a file the server does not have, and a port where nothing
  # listens, refused in one line with the earlier output kept.
  "$rozove" --version | grep -q "FFmpeg's libraries" || { echo "no video input in this build: skipped"; exit 0; }
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=160x90:rate=25 -frames:v 20 -pix_fmt yuv420p -y clip.mp4 ||
    fail "ffmpeg could not make clip.mp4"
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  timeout 120 python3 -m http.server "$port" --bind 127.0.0.1 >server.log 2>&1 &
  server=$!
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
  done
  url=http://127.0.0.1:$port
  run export "$url/clip.mp4" out.gif
  expect_status 0 "export $url/clip.mp4"
  expect_message out.gif 20
  probe out.gif
  expect_probe size "160 90"
  expect_probe frames 20
  keep_output kept.gif
  run export "$url/missing.mp4" kept.gif
  expect_status 1 "a missing file on the server"
  expect_one_line_error "a missing file on the server" "does not give it (Server returned 404 Not Found)"
  expect_kept kept.gif "a missing file on the server"
  kill "$server"
  wait "$server"
  run export "$url/clip.mp4" kept.gif
  expect_status 1 "a server that is gone"
  expect_one_line_error "a server that is gone" "cannot be reached (Connection refused)"
  expect_kept kept.gif "a server that is gone"
  ;;
jobs)
  # --jobs N: one export shared by N processes writes the very bytes of
  # --jobs 1, for every kind of input, also with fewer frames than parts.
  make_y4m clip.y4m 7 64x36 25
  make_raw raw.bgr 48 20 5
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 30 -c:v libx264 -bf 2 -g 10 -y clip.mp4
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 20 \
    -vf "setpts='PTS+if(gt(N,8),0.5/TB,0)'" -c:v libx264 -fps_mode vfr -y paused.mkv
  mkdir -p frames && ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x36:rate=25 -frames:v 4 -y frames/%03d.png
  while IFS='|' read -r name words; do
    eval "set -- $words"
    timeout 120 "$rozove" export --jobs 1 "$@" one.gif >/dev/null 2>err1.txt || fail "$name: --jobs 1: $(cat err1.txt)"
    for jobs in 2 3; do
      timeout 120 "$rozove" export --jobs "$jobs" "$@" parts.gif >out.txt 2>err.txt
      status=$?; out=$(cat out.txt); err=$(cat err.txt)
      expect_status 0 "$name, --jobs $jobs"
      cmp -s one.gif parts.gif || fail "$name: --jobs $jobs wrote other bytes than --jobs 1"
    done
  done <<'CASES'
y4m|clip.y4m
raw|--size 48x20 --rate 30000/1001 raw.bgr
video, from a frame that is no key frame|--start 0.5 --frames 9 clip.mp4
video at another rate|--fps 10 clip.mp4
paused (frames at their own times)|paused.mkv
image sequence|frames/%03d.png
one frame|--frames 1 clip.y4m
fewer frames than parts|--frames 2 clip.y4m
mask, loop count|--mask --loop 3 clip.y4m
CASES
  expect_message parts.gif 7
  # Pipes, into standard output: the bytes of the file's one job, also
  # when parts are started for frames that never come.
  for input in clip.mp4 two.y4m; do
    [ "$input" == two.y4m ] && make_y4m two.y4m 2 64x36 25
    timeout 120 "$rozove" export -q --jobs 1 "$input" one.gif
    cat "$input" | timeout 120 "$rozove" export -q --jobs 3 - - >parts.gif || fail "--jobs 3, $input from a pipe"
    cmp -s one.gif parts.gif || fail "--jobs 3, $input from a pipe: other bytes"
  done
  # A stop: every part ends, the GIF holds the frames before the first
  # unfinished one, complete, and no part is left running.
  make_y4m long.y4m 60 64x36 25
  cp "$(dirname "$rozove")/zezodav_odevad.so" stopped-module.so
  feed_slowly long.y4m | "$rozove" export --jobs 3 --module "$PWD/stopped-module.so" - out.gif >out.txt 2>err.txt &
  host=$!
  wait_for_growth out.gif
  sleep 0.5
  kill -s INT "$host"
  wait_host "$host"
  expect_status 130 "interrupted, --jobs 3"
  probe out.gif
  frames=$(probe_line frames)
  if [ "${frames:-0}" -lt 1 ] || [ "${frames:-0}" -ge 60 ]; then fail "interrupted, --jobs 3: $frames frames"; fi
  expect_one_line_error "interrupted, --jobs 3" "out.gif holds the $frames frames written before"
  pgrep -f -- "stopped-module.so" >/dev/null && fail "a part outlived the stop"
  # A part that dies fails the job; the earlier file is kept, nothing left.
  keep_output out.gif
  python3 -c 'import sys, time
data = open(sys.argv[1], "rb").read()
for at in range(0, len(data), 8192):
    sys.stdout.buffer.write(data[at:at + 8192]); sys.stdout.flush(); time.sleep(0.05)' long.y4m 2>/dev/null |
    "$rozove" export --jobs 3 - out.gif >out.txt 2>err.txt &
  host=$!
  for _ in $(seq 100); do [ "$(pgrep -P "$host" | wc -l)" -ge 3 ] && break; sleep 0.1; done
  kill -s KILL "$(pgrep -P "$host" | sed -n 2p)"
  wait_host "$host"
  expect_status 1 "a part that died"
  expect_one_line_error "a part that died" "part 2 of the job failed"
  expect_kept out.gif "a part that died"
  expect_no_leftover "a part that died"
  ;;

wine_export)
  # The Windows host and module under Wine: the message box is printed as
  # UTF-8, once, instead of waiting for a click.
  make_y4m clip.y4m 20
  run export --loop 2 clip.y4m out.gif
  expect_status 0 "rozove.exe export"
  out=$(printf '%s' "$out" | tr -d '\r')
  expect_message out.gif 20
  expect_ffprobe out.gif 20 0.66
  delays=$(identify -format '%T ' out.gif | sed 's/ $//')
  [ "$delays" == "$ntsc_delays_20" ] || fail "ImageMagick reads delays [$delays]"
  # ImageMagick counts plays: a repeat count of 2 in the NETSCAPE2.0 block
  # reads as 3 iterations.
  loop=$(identify -verbose 'out.gif[0]' | awk '/Iterations:/ { print $2 }')
  [ "$loop" == "3" ] || fail "ImageMagick reads [$loop] iterations for a repeat count of 2"
  # Standard input under Wine too.
  cat clip.y4m | timeout -k 5 120 $emulator "$rozove" export - piped.gif >out.txt 2>err.txt
  status=$?; out=$(tr -d '\r' <out.txt); err=$(cat err.txt)
  expect_status 0 "rozove.exe from standard input"
  expect_message piped.gif 20
  run export missing.y4m out.gif
  expect_status 1 "rozove.exe with a missing input"
  # The GIF on standard output, every message on standard error.
  run export clip.y4m plain.gif
  timeout -k 5 120 $emulator "$rozove" export clip.y4m - >stdout.gif 2>err.txt
  status=$?; err=$(tr -d '\r' <err.txt)
  expect_status 0 "rozove.exe to standard output"
  cmp -s plain.gif stdout.gif || fail "rozove.exe: the GIF on standard output differs from the file's"
  expected=$(completion_text 'standard output' 20)
  [ "$err" == "$expected" ] || fail "rozove.exe to standard output: stderr [$err], expected [$expected]"
  # The output that is the input is refused there too.
  run export clip.y4m clip.y4m
  expect_status 2 "rozove.exe: output is the input"
  # No FFmpeg in the Windows build: scaling is refused with a hint.
  run export --width 160 clip.y4m scaled.gif
  expect_status 2 "rozove.exe --width"
  [[ "$err" == *"ffmpeg"* ]] || fail "rozove.exe --width: no hint: $err"
  [ ! -e scaled.gif ] || fail "rozove.exe --width wrote scaled.gif"
  run export a.png b.png several.gif
  expect_status 2 "rozove.exe with several images"
  [[ "$err" == *"ffmpeg"* ]] || fail "rozove.exe with several images: no hint: $err"
  # An interlaced Y4M is read as it is, from a file and a pipe alike.
  sed '1s/ Ip / It /' clip.y4m >woven.y4m
  run export woven.y4m woven.gif
  expect_status 0 "rozove.exe, an interlaced Y4M"
  cat woven.y4m | timeout -k 5 120 $emulator "$rozove" export - woven-piped.gif >out.txt 2>err.txt
  status=$?
  expect_status 0 "rozove.exe, an interlaced Y4M pipe"
  cmp -s woven.gif woven-piped.gif || fail "rozove.exe, an interlaced Y4M: the pipe's GIF differs from the file's"
  # --quiet: nothing but errors.
  run export --quiet clip.y4m quiet.gif
  expect_status 0 "rozove.exe --quiet"
  [ -z "$out$err" ] || fail "rozove.exe --quiet printed: [$out] [$err]"
  # Ctrl-C: Wine turns SIGINT into the console's Ctrl-C event.
  interrupt_export INT clip.y4m int.gif
  expect_status 130 "rozove.exe interrupted"
  [[ "$err" == *interrupted* ]] || fail "rozove.exe interrupted: $err"
  frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 int.gif)
  if [ "${frames:-0}" -lt 1 ] || [ "${frames:-0}" -ge 20 ]; then fail "rozove.exe interrupted: [$frames] frames"; fi
  ;;
output_place)
  # The output as the user left it: links written through, a loop refused,
  # owner, group and mode kept, names near the longest served, a locked
  # folder's writable file replaced in place, and the same outcome with
  # standard output closed.
  make_y4m clip.y4m 3 32x18 25
  mkdir gifs && keep_output gifs/old.gif
  ln -s gifs/new.gif dangling.gif && ln -s gifs/old.gif link.gif && ln -s ../link.gif gifs/chain.gif
  ln -s loop-b.gif loop-a.gif && ln -s loop-a.gif loop-b.gif
  for link in dangling.gif link.gif gifs/chain.gif; do
    run export clip.y4m "$link"
    expect_status 0 "export through $link"
    [ -L "$link" ] || fail "$link was replaced by a file"
    probe "$link"
    expect_probe frames 3
  done
  [ -f gifs/new.gif ] && [ -f gifs/old.gif ] || fail "a link's target was not made: $(ls gifs)"
  run export clip.y4m loop-a.gif
  expect_status 1 "a loop of links"
  expect_one_line_error "a loop of links" "loop (ELOOP)"
  [ -L loop-a.gif ] || fail "a loop of links was replaced"
  # 80 kanji (244 bytes with .gif) and 255 bytes take a shorter file beside them.
  for name in "$(printf '漢%.0s' $(seq 80)).gif" "$(printf 'a%.0s' $(seq 251)).gif"; do
    run export clip.y4m "$name"
    expect_status 0 "a name of ${#name} characters"
    probe "$name"
  done
  # Too long a name, or a path past PATH_MAX through folders that exist.
  deep=$(python3 -c 'import os
for _ in range(20): os.mkdir("d" * 250); os.chdir("d" * 250)
print("/".join(["d" * 250] * 20))')
  for output in "$(printf 'a%.0s' $(seq 256)).gif" "$deep/x.gif"; do
    run export clip.y4m "$output"
    expect_status 1 "a name of ${#output} bytes"
    expect_one_line_error "a name of ${#output} bytes" "ENAMETOOLONG"
  done
  if [ "$(id -u)" -eq 0 ]; then
    keep_output owned.gif && chown 65534:65534 owned.gif && chmod 640 owned.gif
    run export clip.y4m owned.gif
    expect_status 0 "another user's file, as root"
    [ "$(stat -c '%u:%g %a' owned.gif)" == "65534:65534 640" ] || fail "owner or mode lost: $(stat -c '%u:%g %a' owned.gif)"
  fi
  if as_nobody && [ "$(id -u)" -eq 0 ]; then
    mkdir shared locked && chmod 777 shared
    keep_output shared/theirs.gif && chmod 666 shared/theirs.gif
    keep_output locked/mine.gif && keep_output locked/kept.gif && chown 65534:65534 locked/*.gif && chmod 555 locked
    inode=$(stat -c %i locked/mine.gif)
    head -1 clip.y4m >no-frame.y4m
    while IFS='|' read -r input output expected words; do
      timeout 60 "${as_user[@]}" "$rozove" export "$input" "$output" >out.txt 2>err.txt
      status=$?; err=$(cat err.txt)
      expect_status "$expected" "$output as nobody"
      [[ "$err" == *"$words"* ]] || fail "$output as nobody: stderr lacks '$words': $err"
    done <<'CASES'
clip.y4m|shared/theirs.gif|0|belongs to another user or group
clip.y4m|locked/mine.gif|0|is written in place: if the job fails, the earlier file cannot be kept
no-frame.y4m|locked/kept.gif|1|the earlier locked/kept.gif was kept as it was
CASES
    probe locked/mine.gif
    expect_probe frames 3
    [ "$(stat -c %i locked/mine.gif)" == "$inode" ] || fail "locked/mine.gif was not written in place"
    expect_kept locked/kept.gif "a failed job in place"
    [ "$(stat -c %u shared/theirs.gif)" == 65534 ] || fail "the warning said the new file is nobody's, it is not"
  else
    echo "not root or no setpriv: the cases of other users' files are skipped"
  fi
  timeout 60 "$rozove" export clip.y4m closed.gif >&- 2>err.txt
  status=$?; err=$(cat err.txt)
  expect_status 0 "standard output closed"
  probe closed.gif
  timeout 60 "$rozove" export clip.y4m - >&- 2>err.txt
  status=$?; err=$(cat err.txt)
  expect_status 2 "a GIF for a closed standard output"
  expect_one_line_error "a GIF for a closed standard output" "standard output is closed"
  expect_no_leftover "output place"
  ;;
stop_signals)
  # Every stop request is one stop, whoever sends it: the GIF so far,
  # complete, 128 + the signal, nothing beside the output and nothing in
  # TMPDIR, even after SIGKILL. A second stop ends the job at once and
  # still leaves nothing; coreutils' timeout, which signals twice, stops it
  # once.
  make_y4m clip.y4m 60 64x36 25
  mkdir tmp && export TMPDIR=$PWD/tmp
  while read -r sig second expected; do
    interrupt_export "$sig" clip.y4m "$sig.gif" "${second#-}"
    [[ " $expected " == *" $status "* ]] || fail "SIG$sig then [$second]: exit status $status, expected $expected"
    [ -n "${second#-}" ] && continue
    expect_one_line_error "SIG$sig" "interrupted"
    probe "$sig.gif"
    frames=$(probe_line frames)
    if [ "${frames:-0}" -lt 1 ] || [ "${frames:-0}" -ge 60 ]; then fail "SIG$sig: $frames frames in the GIF"; fi
  done <<'CASES'
HUP - 129
QUIT - 131
PIPE - 141
XFSZ - 153
TERM INT 130 143
CASES
  # Under nohup a hangup is no stop.
  make_y4m short.y4m 12 64x36 25
  (trap '' HUP && interrupt_export HUP short.y4m nohup.gif && exit "$status")
  status=$?
  expect_status 0 "SIGHUP under nohup"
  probe nohup.gif
  expect_probe frames 12
  # The file size limit met by the GIF itself is a write error, named.
  (ulimit -f 16 && timeout 60 "$rozove" export clip.y4m big.gif >out.txt 2>err.txt)
  status=$?; err=$(cat err.txt)
  expect_status 1 "ulimit -f"
  expect_one_line_error "ulimit -f" "file size limit"
  [ ! -e big.gif ] || fail "ulimit -f: a cut GIF was left"
  for attempt in 1 2 3 4 5; do
    rm -f timed.gif
    feed_slowly clip.y4m | timeout 0.6 "$rozove" export - timed.gif >out.txt 2>err.txt
    status=$?; err=$(cat err.txt)
    expect_status 124 "timeout, run $attempt"
    expect_one_line_error "timeout, run $attempt" "interrupted"
    [ ! -e timed.gif ] || probe timed.gif
  done
  feed_slowly clip.y4m | "$rozove" export - killed.gif >out.txt 2>err.txt &
  host=$!
  wait_for_growth killed.gif
  kill -s KILL "$host"
  wait_host "$host"
  [ -z "$(ls -A tmp)" ] || fail "left in TMPDIR: $(ls -A tmp)"
  rm -f .killed.gif.rozove-*
  TMPDIR=$PWD/missing run export --quiet clip.y4m quiet.gif
  expect_status 0 "--quiet with TMPDIR missing"
  [ -z "$out$err" ] || fail "--quiet with TMPDIR missing printed: [$out] [$err]"
  expect_no_leftover "stop signals"
  ;;
*)
  echo "unknown case $case_name" >&2
  exit 2
  ;;
esac

if [ "$failures" -gt 0 ]; then
  echo "$case_name: $failures failure(s)" >&2
  exit 1
fi
echo "$case_name: passed"
