#!/usr/bin/env bash
# Times parvane-cli against the TNEF tools that Debian packages and against a
# plain copy, on the same generated inputs, and writes bench/RESULTS.md.
#
#   bash bench/run.sh            (what `make bench` runs)
#   RUNS=5 BENCH_DATA=/big/disk bash bench/run.sh
# shellcheck source=bench/common.sh
. "$(dirname "$0")/common.sh"
RESULTS=${RESULTS:-$ROOT/bench/RESULTS.md}
WINBENCH=$ROOT/$BUILD_DIR/bench/parvane-bench-window
SUDO=$([ "$(id -u)" = 0 ] || echo sudo)

need=()
for p in tnef ytnef-tools time; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${need[@]}"
fi

mkdir -p "$DATA"
for kind in big many props mixed dups names; do
  [ -s "$DATA/$kind.tnef" ] || { echo "generating $kind.tnef"; "$GEN" "$kind" "$DATA/$kind.tnef"; }
done
# A quarter of dups, to show how the time grows with the count.
[ -s "$DATA/dups5k.tnef" ] || { echo "generating dups5k.tnef"; "$GEN" dups "$DATA/dups5k.tnef" 5000; }

OUT=$DATA/out
TIMES=$DATA/times.tsv
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
NOTES=$DATA/notes.md
: > "$TIMES"
: > "$NOTES"
export LC_ALL=C

# measure INPUT TASK TOOL COMMAND...: RUNS timed runs after one warm-up, each
# into an empty $OUT with the previous run's writes on disk; records wall
# seconds (clock read around the command) and peak resident KiB, and keeps
# the first error or warning another tool printed.
measure() {
  local input=$1 task=$2 tool=$3; shift 3
  local i start end
  for ((i = 0; i <= RUNS; i++)); do
    rm -rf "$OUT"; mkdir -p "$OUT"; sync
    start=$EPOCHREALTIME
    /usr/bin/time -f '%M' -o "$DATA/time.txt" "$@" > "$DATA/stdout.txt" 2> "$DATA/stderr.txt" || {
      echo "$tool $task $input failed:"; cat "$DATA/stderr.txt"; return 1; }
    end=$EPOCHREALTIME
    [ "$i" -gt 0 ] && printf '%s\t%s\t%s\t%s %s\n' "$input" "$task" "$tool" \
      "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.5f", b - a }')" "$(tail -1 "$DATA/time.txt")" >> "$TIMES"
  done
  local complaint
  complaint=$(cat "$DATA/stderr.txt" "$DATA/stdout.txt" | grep -m1 -iE 'error|warn|corrupt' || true)
  if [ "$tool" != parvane ] && [ -n "$complaint" ]; then
    printf -- '- %s, %s %s: `%s`\n' "$tool" "$task" "$input" "$complaint" >> "$NOTES"
  fi
  return 0
}

# The attachments a tool wrote, as sorted "size sha256" lines.
fingerprint() {
  find "$OUT" -type f -print0 | xargs -0 -r sha256sum | while read -r sum path; do
    printf '%s %s\n' "$(stat -c %s "$path")" "$sum"
  done | sort
}

declare -A same
declare -A rows
for kind in big many props mixed; do
  input=$DATA/$kind.tnef
  echo "== $kind"
  measure "$kind" extract parvane "$CLI" extract -C "$OUT" --folder never "$input"
  fingerprint > "$DATA/parvane.fp"
  measure "$kind" extract tnef tnef --overwrite -C "$OUT" -f "$input"
  fingerprint > "$DATA/tnef.fp"
  measure "$kind" extract ytnef ytnef -f "$OUT" "$input"
  fingerprint > "$DATA/ytnef.fp"
  measure "$kind" extract cp cp "$input" "$OUT/copy"
  for tool in tnef ytnef; do
    if cmp -s "$DATA/parvane.fp" "$DATA/$tool.fp"; then same[$kind.$tool]=yes; else same[$kind.$tool]=NO; fi
  done
  measure "$kind" list parvane "$CLI" list "$input"
  measure "$kind" list tnef tnef -t -f "$input"
  measure "$kind" list ytnef ytnef -v "$input"
done

# The inputs about extraction's own limits: parvane-cli, and cp copying a
# folder of the very files parvane-cli writes, so that both make as many.
for kind in dups5k dups names; do
  input=$DATA/$kind.tnef
  files=$DATA/$kind-files
  echo "== $kind"
  [ -d "$files" ] || { mkdir -p "$files"; "$CLI" extract -C "$files" --folder never "$input" > /dev/null; }
  measure "$kind" extract parvane "$CLI" extract -C "$OUT" --folder never "$input"
  measure "$kind" extract cp cp -r "$files" "$OUT/copy"
  measure "$kind" list parvane "$CLI" list "$input"
done
# Memory per attribute: the same file with and without its attribute list.
measure many attributes parvane "$CLI" attributes "$DATA/many.tnef"

# big and dups against cp once more, run for run in turns, so that both meet
# the same load on the machine.
for kind in big dups; do
  for ((i = 0; i <= RUNS; i++)); do
    for tool in parvane cp; do
      rm -rf "$OUT"; mkdir -p "$OUT"; sync
      start=$EPOCHREALTIME
      if [ $tool = parvane ]; then "$CLI" extract -C "$OUT" --folder never "$DATA/$kind.tnef" > /dev/null 2>&1
      elif [ $kind = big ]; then cp "$DATA/big.tnef" "$OUT/copy"
      else cp -r "$DATA/dups-files" "$OUT/copy"; fi
      end=$EPOCHREALTIME
      [ "$i" -gt 0 ] && printf '%s\tturns\t%s\t%s 0\n' "$kind" "$tool" \
        "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.5f", b - a }')" >> "$TIMES"
    done
  done
done

window=""
if [ -x "$WINBENCH" ]; then
  window=$(QT_QPA_PLATFORM=offscreen "$WINBENCH" "$DATA/big.tnef" || true)
  # The window at 1,000 and 100,000 attachments: constant cost per row keeps
  # the ratio near 100.
  for n in 1000 100000; do
    [ -s "$DATA/rows$n.tnef" ] || "$GEN" dups "$DATA/rows$n.tnef" "$n"
    rows[$n]=$(QT_QPA_PLATFORM=offscreen "$WINBENCH" "$DATA/rows$n.tnef" | grep -o '[0-9.]* ms' | cut -d' ' -f1 || true)
  done
fi

# A mail with a 1 GiB winmail.dat, unwrapped (skipped, with a message,
# while parvane-cli has no unwrap command).
unwrap=$(BUILD_DIR=$BUILD_DIR BENCH_DATA=$DATA RUNS=$RUNS bash bench/unwrap.sh)

median() { sort -n | awk '{a[NR]=$1} END {if (NR==0) print "-"; else if (NR%2) m=a[(NR+1)/2]; else m=(a[NR/2]+a[NR/2+1])/2; if (NR) printf "%.1f\n", m*1000}'; }
stat_of() { awk -F'\t' -v i="$1" -v t="$2" -v o="$3" '$1==i && $2==t && $3==o {print $4}' "$TIMES"; }
wall() { stat_of "$1" "$2" "$3" | awk '{print $1}' | median; }
fastest() { stat_of "$1" "$2" "$3" | awk '{print $1}' | sort -n | head -1 | awk '{ if ($1 != "") printf "%.1f\n", $1*1000; else print "-" }'; }
rss() { stat_of "$1" "$2" "$3" | awk '{print $2}' | sort -n | tail -1 | awk '{printf "%.1f", $1/1024}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a/b; else print "-" }'; }

{
  echo "# Benchmark results"
  echo
  echo "Produced by \`make bench\` (bench/run.sh) on $(date -u +%Y-%m-%d)."
  echo
  echo "Machine: $(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'))," \
       "$(free -g | awk '/Mem:/ {print $2}') GiB memory, Linux $(uname -r), $(. /etc/os-release; echo "$PRETTY_NAME")."
  echo "Load average (1, 5, 15 minutes) when the runs began: $LOAD_BEFORE; when they ended: $(cut -d' ' -f1-3 /proc/loadavg)." \
       "Other work on a shared machine slows file creation and copies alike; compare rows of one run, not runs."
  echo "Tools: parvane-cli $("$CLI" --version | awk '{print $2}'), tnef $(dpkg-query -W -f='${Version}' tnef)," \
       "ytnef $(dpkg-query -W -f='${Version}' ytnef-tools), GNU cp."
  echo
  echo "Inputs (bench/gen_tnef.cpp): big = 64 attachments of 16 MiB (1 GiB);" \
       "many = 200,000 small message attributes and one attachment;" \
       "props = one attachment whose property block holds 100,000 MAPI properties;" \
       "mixed = 20 attachments of 1 MiB with long file names;" \
       "dups = 20,000 attachments of 256 bytes all named report.pdf (dups5k: 5,000 of them);" \
       "names = one attachment whose long file name has 1,000,000 empty values, then names.txt." \
       "For dups5k, dups and names the cp row copies a folder holding the files parvane-cli writes (cp -r)."
  echo
  echo "Each time is the median wall time in milliseconds of $RUNS runs after one warm-up run (warm page cache)," \
       "and the fastest of them: on this shared machine the same 20,000 files take anywhere from 0.7 to 5 s to create," \
       "for cp as for parvane-cli, and the fastest run is the cost of the work itself;" \
       "peak RSS is the largest maximum resident set size that /usr/bin/time -v reported." \
       "Ratio is parvane-cli's time divided by the other tool's (below 1: parvane-cli is faster)."
  echo
  echo "| input | task | tool | median ms | fastest ms | parvane ratio | peak RSS MiB | same attachments as parvane |"
  echo "|---|---|---|---:|---:|---:|---:|---|"
  for kind in big many props mixed; do
    for task in extract list; do
      p=$(wall "$kind" "$task" parvane)
      for tool in parvane tnef ytnef cp; do
        [ "$task" = list ] && [ "$tool" = cp ] && continue
        w=$(wall "$kind" "$task" "$tool")
        r=$([ "$tool" = parvane ] && echo "-" || ratio "$p" "$w")
        s="-"; [ "$task" = extract ] && [ "$tool" != parvane ] && [ "$tool" != cp ] && s=${same[$kind.$tool]}
        echo "| $kind | $task | $tool | $w | $(fastest "$kind" "$task" "$tool") | $r | $(rss "$kind" "$task" "$tool") | $s |"
      done
    done
  done
  for kind in dups5k dups names; do
    p=$(wall "$kind" extract parvane)
    echo "| $kind | extract | parvane | $p | $(fastest "$kind" extract parvane) | - | $(rss "$kind" extract parvane) | - |"
    echo "| $kind | extract | cp | $(wall "$kind" extract cp) | $(fastest "$kind" extract cp) | $(ratio "$p" "$(wall "$kind" extract cp)") | $(rss "$kind" extract cp) | - |"
    echo "| $kind | list | parvane | $(wall "$kind" list parvane) | $(fastest "$kind" list parvane) | - | $(rss "$kind" list parvane) | - |"
  done
  echo "| many | attributes | parvane | $(wall many attributes parvane) | $(fastest many attributes parvane) | - | $(rss many attributes parvane) | - |"
  echo
  pt=$(wall big turns parvane); ct=$(wall big turns cp)
  dt=$(wall dups turns parvane); dct=$(wall dups turns cp)
  perAttachment=$(stat_of dups list parvane | awk '{print $2}' | sort -n | tail -1)
  perAttachment5k=$(stat_of dups5k list parvane | awk '{print $2}' | sort -n | tail -1)
  withAttributes=$(stat_of many attributes parvane | awk '{print $2}' | sort -n | tail -1)
  withoutAttributes=$(stat_of many list parvane | awk '{print $2}' | sort -n | tail -1)
  echo "Targets:"
  echo
  echo "- big extracted and copied in turns, $RUNS runs each: parvane $pt ms, cp $ct ms, parvane $(ratio "$pt" "$ct") × cp (target at most 1.2);" \
       "fastest runs: parvane $(fastest big turns parvane) ms, cp $(fastest big turns cp) ms."
  echo "- 20,000 like-named attachments extracted in $(wall dups extract parvane) ms, fastest run $(fastest dups extract parvane) ms (target under 2,000 ms);" \
       "in turns with cp -r of the same files: parvane $dt ms, cp -r $dct ms, parvane $(ratio "$dt" "$dct") × cp -r" \
       "(fastest runs $(fastest dups turns parvane) and $(fastest dups turns cp) ms);" \
       "5,000 in $(wall dups5k extract parvane) ms: four times the attachments take" \
       "$(ratio "$(wall dups extract parvane)" "$(wall dups5k extract parvane)") times as long (4 is linear growth)."
  echo "- The 1,000,000-value name file listed in $(rss names list parvane) MiB (target under 32 MiB)."
  echo "- Memory per attachment while listing: $(awk -v a="$perAttachment" -v b="$perAttachment5k" 'BEGIN { printf "%.0f", (a - b) * 1024 / 15000 }') bytes" \
       "(peak resident size of listing dups less that of dups5k, over the 15,000 attachments between them);" \
       "per attribute: $(awk -v a="$withAttributes" -v b="$withoutAttributes" 'BEGIN { printf "%.0f", (a - b) * 1024 / 200007 }') bytes" \
       "(parvane-cli attributes less parvane-cli list on many, over its 200,007 attributes)."
  echo
  if [ -s "$NOTES" ]; then
    echo "Errors and warnings the other tools printed (last run of each):"
    echo
    cat "$NOTES"
    echo
  fi
  if [ -n "$window" ]; then
    echo "Opening big.tnef as the application does (parse and document window, offscreen): $window"
    echo
    echo "The same for 1,000 and 100,000 attachments: ${rows[1000]} ms and ${rows[100000]} ms," \
         "$(ratio "${rows[100000]}" "${rows[1000]}") times as long for 100 times the rows."
    echo
  fi
  if [ -n "$unwrap" ]; then
    echo "$unwrap"
    echo
  fi
  echo "Reproduce: \`make bench\` (inputs are generated into build/bench-data, about 1.1 GiB, and 2.7 GiB more for" \
       "the unwrap case's mail and its part's text; RUNS=N sets the run count; BENCH_UNWRAP_MB=N the unwrap case's size)." \
       "Each timed run starts after \`sync\`, so that the previous run's writes are not in its time."
} > "$RESULTS"
cat "$RESULTS"
