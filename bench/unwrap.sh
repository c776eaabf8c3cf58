#!/usr/bin/env bash
# parvane-cli unwrap on a mail that carries one winmail.dat with a single
# attachment of BENCH_UNWRAP_MB MiB (1,024 by default), base64 in its MIME
# part, side by side with `base64 -d` of that part's text: what decoding the
# part alone costs. Prints a Markdown section for bench/RESULTS.md; run.sh
# calls it, and it runs alone too:
#
#   BENCH_UNWRAP_MB=8 RUNS=2 bash bench/unwrap.sh
# shellcheck source=bench/common.sh
. "$(dirname "$0")/common.sh"
MB=${BENCH_UNWRAP_MB:-1024}
TARGET_MIB=64
export LC_ALL=C

# A build without the command says so and the case is left out.
probe=$("$CLI" unwrap < /dev/null 2>&1 >/dev/null || true)
if grep -q 'unknown command' <<< "$probe"; then
  echo "parvane-cli has no unwrap command yet: the unwrap case is skipped." >&2
  exit 0
fi

mkdir -p "$DATA"
TNEF=$DATA/unwrap-$MB.tnef
PART=$DATA/unwrap-$MB.b64
MAIL=$DATA/unwrap-$MB.eml
OUTPUT=$DATA/unwrap-out
if [ ! -s "$MAIL" ]; then
  echo "generating unwrap-$MB.eml" >&2
  "$GEN" huge "$TNEF" "$MB"
  base64 -w 76 "$TNEF" > "$PART"
  rm -f "$TNEF"
  {
    printf 'From: Bench <bench@example.org>\nTo: you@example.org\nSubject: unwrap bench\n'
    printf 'Date: Mon, 1 Jan 2024 00:00:00 +0000\nMIME-Version: 1.0\n'
    printf 'Content-Type: multipart/mixed; boundary="bench-boundary"\n\n'
    printf -- '--bench-boundary\nContent-Type: text/plain\n\nThe attachment follows.\n'
    printf -- '--bench-boundary\nContent-Type: application/ms-tnef; name="winmail.dat"\n'
    printf 'Content-Transfer-Encoding: base64\nContent-Disposition: attachment; filename="winmail.dat"\n\n'
    cat "$PART"
    printf -- '\n--bench-boundary--\n'
  } > "$MAIL"
fi

# run TOOL COMMAND...: RUNS timed runs after one warm-up, output to a file;
# "seconds peak-KiB" lines in $DATA/unwrap-TOOL.txt.
run() {
  local tool=$1 i start end; shift
  : > "$DATA/unwrap-$tool.txt"
  for ((i = 0; i <= RUNS; i++)); do
    rm -f "$OUTPUT"; sync
    start=$EPOCHREALTIME
    /usr/bin/time -f '%M' -o "$DATA/unwrap-time.txt" "$@" > "$OUTPUT" || {
      echo "$tool failed on unwrap-$MB.eml" >&2; return 1; }
    end=$EPOCHREALTIME
    [ "$i" -gt 0 ] && echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.5f", b - a }') $(tail -1 "$DATA/unwrap-time.txt")" \
      >> "$DATA/unwrap-$tool.txt"
  done
}
run parvane "$CLI" unwrap "$MAIL"
grep -q 'huge\.bin' "$OUTPUT" || { echo "the unwrapped mail does not name huge.bin" >&2; exit 1; }
run base64 base64 -d "$PART"
rm -f "$OUTPUT"

ms() { awk '{print $1}' "$DATA/unwrap-$1.txt" | sort -n | awk '{a[NR]=$1} END {m = NR % 2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2; printf "%.1f", m*1000}'; }
fastest() { awk '{print $1}' "$DATA/unwrap-$1.txt" | sort -n | head -1 | awk '{printf "%.1f", $1*1000}'; }
rss() { awk '{print $2}' "$DATA/unwrap-$1.txt" | sort -n | tail -1 | awk '{printf "%.1f", $1/1024}'; }
p=$(ms parvane); b=$(ms base64); peak=$(rss parvane)
met=$(awk -v m="$peak" -v t="$TARGET_MIB" 'BEGIN { print (m <= t) ? "met" : "NOT met" }')
echo "Unwrapping a mail (bench/unwrap.sh): one winmail.dat whose single attachment has $MB MiB, base64 in its MIME part" \
     "($(( $(stat -c %s "$MAIL") >> 20 )) MiB of mail); parvane-cli unwrap writes the whole mail with the part replaced," \
     "base64 -d only decodes the part's text, taken out beforehand. Median and fastest of $RUNS runs, output to a file."
echo
echo "| task | tool | median ms | fastest ms | ratio | peak RSS MiB |"
echo "|---|---|---:|---:|---:|---:|"
echo "| unwrap | parvane | $p | $(fastest parvane) | $(awk -v a="$p" -v b="$b" 'BEGIN { printf "%.2f", a/b }') | $peak |"
echo "| decode the part | base64 -d | $b | $(fastest base64) | - | $(rss base64) |"
echo
echo "Target: parvane-cli unwrap's peak memory at most $TARGET_MIB MiB: $peak MiB, $met."
