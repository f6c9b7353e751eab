#!/usr/bin/env bash
# The protocol printed through the program's own print path on a real print service: a CUPS
# daemon of this script's own (its configuration, spool and socket in a temporary folder; the
# machine's CUPS and /etc/cups are not touched) with queues on the generic PDF printer's PPD,
# given 4-6 mm hardware margins:
#   kvz-margins    A4 by default: the printed paper is A4 and the title and captions stand where
#                  the program's own PDF has them, to 0.2 mm;
#   kvz-letter     Letter by default: the same, still on A4;
#   kvz-stopped    stopped: the program names the state before sending, the job waits, and
#                  prints as above once the queue is started;
#   kvz-rejecting  refusing jobs: the program shows CUPS's reason, and the job is not there;
#   kvz-no-a4      a Letter-only printer: the program says so and sends nothing.
# Each queue takes PDF and writes to a file what CUPS's filters (pdftopdf: paper, orientation,
# margins) make of the job: the PDF that is checked. (Through PostScript and Ghostscript, as the PDF
# printer's own backend goes, the text would no longer be text.) Needs root (cupsd) and a build in
# build/.
#
#   scripts/print-tests.sh [build-dir]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
check=$build/print_check
[ "$(id -u)" = 0 ] || { echo "cupsd needs root: sudo bash scripts/print-tests.sh" >&2; exit 1; }
[ -x "$check" ] || { echo "no $check: build first (cmake --workflow --preset default)" >&2; exit 1; }

work=$(mktemp -d /tmp/kvz03-print.XXXXXX)
cupsd_pid=
finish() {
  [ -z "$cupsd_pid" ] || kill "$cupsd_pid" 2>/dev/null || true
  [ -z "$cupsd_pid" ] || wait "$cupsd_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
# cupsd runs the filters as lp: they must reach the spool, their temporary folder and the output.
chmod 755 "$work"
mkdir -p "$work"/{etc/ppd,cache,state,spool,tmp,log,out,runtime}
chmod 700 "$work/runtime"
chmod 1777 "$work/tmp" "$work/out"
socket=$work/cups.sock

cat > "$work/etc/cups-files.conf" <<CONF
ServerRoot $work/etc
CacheDir $work/cache
StateDir $work/state
RequestRoot $work/spool
TempDir $work/tmp
AccessLog $work/log/access_log
ErrorLog $work/log/error_log
PageLog $work/log/page_log
Printcap $work/printcap
ServerKeychain $work/ssl
FileDevice Yes
User lp
Group lp
SystemGroup root
CONF
cat > "$work/etc/cupsd.conf" <<CONF
LogLevel warn
Listen $socket
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF

export CUPS_SERVER=$socket
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
# No lpoptions or client.conf of the user's may choose other defaults.
export HOME=$work XDG_RUNTIME_DIR=$work/runtime
cupsd -f -c "$work/etc/cupsd.conf" -s "$work/etc/cups-files.conf" &
cupsd_pid=$!
running() { [ "$(lpstat -r 2>/dev/null)" = "scheduler is running" ]; }
for _ in $(seq 100); do
  running && break
  sleep 0.1
done
running || { cat "$work/log/error_log" >&2; echo "cupsd did not start" >&2; exit 1; }

# The generic PDF printer's PPD with hardware margins: left 4, bottom 6, right 5, top 5 mm.
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd
awk '
  /^\*PCFileName:/ { print; print "*cupsFilter2: \"application/vnd.cups-pdf application/pdf 0 -\""; next }
  /^\*HWMargins:/ { print "*HWMargins: 11.34 17.01 14.17 14.17"; next }
  /^\*ImageableArea / {
    split($0, q, "\""); split(q[2], v, " ")
    printf "%s\"11.34 17.01 %.2f %.2f\"\n", q[1], v[3] - 14.17, v[4] - 14.17; next
  }
  { print }' "$ppd" > "$work/margins.ppd"
# The same printer without A4 paper, nor paper of any size one asks for.
grep -Ev '^\*(PageSize|PageRegion|ImageableArea|PaperDimension) A4/|^\*(VariablePaperSize|CustomPageSize|ParamCustomPageSize)|^<</PageSize \[ 5 -2 roll|^\*End' "$work/margins.ppd" |
  sed -E 's/^(\*Default(PageSize|PageRegion|ImageableArea|PaperDimension)): A4/\1: Letter/' \
    > "$work/no-a4.ppd"
grep -q 'PageSize A4' "$work/no-a4.ppd" && { echo "no-a4.ppd still has A4" >&2; exit 1; }

queue() {  # name ppd [lpadmin options...]
  local name=$1 file=$2
  shift 2
  # (its warning that PPDs are deprecated is noise here)
  lpadmin -p "$name" -v "file://$work/out/$name.pdf" -P "$file" -E "$@" 2>"$work/log/lpadmin" ||
    { cat "$work/log/lpadmin" >&2; exit 1; }
}
queue kvz-margins "$work/margins.ppd"
queue kvz-letter "$work/margins.ppd" -o PageSize=Letter
queue kvz-stopped "$work/margins.ppd"
queue kvz-rejecting "$work/margins.ppd"
queue kvz-no-a4 "$work/no-a4.ppd"
cupsdisable kvz-stopped
cupsreject kvz-rejecting

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# print queue expected-status expected-message
print() {
  local status=0 shown
  shown=$("$check" print "$1" "$work/reference.pdf" 2>"$work/log/$1.stderr") || status=$?
  [ "$status" = "$2" ] || fail "$1: print_check ended with $status, not $2 (${shown:-no message})"
  if [ -n "$3" ]; then
    [ "$shown" = "$3" ] || fail "$1: shown '$shown', not '$3'"
  else
    [ -z "$shown" ] || fail "$1: shown '$shown'"
  fi
  echo "$1: printed with status $status${shown:+, shown: $shown}"
}
# Waits until CUPS has no job left to print.
drain() {
  for _ in $(seq 600); do
    [ -z "$(lpstat -o)" ] && return
    sleep 0.1
  done
  fail "jobs still queued: $(lpstat -o)"
}
compare() {
  local out=$work/out/$1.pdf
  [ -s "$out" ] || { fail "$1: no output"; return; }
  local paper
  paper=$(pdfinfo "$out" | sed -n 's/^Page size: *//p')
  echo "$1: $paper"
  [ "$paper" = "595 x 842 pts (A4)" ] || fail "$1: printed on $paper"
  "$check" compare "$work/reference.pdf" "$out" || fail "$1: not as on the reference"
}

print kvz-margins 0 ""
print kvz-letter 0 ""
print kvz-stopped 0 'Принтер "kvz-stopped" приостановлен: задание будет ждать в очереди'
# CUPS's reason, in the words (and the language) it gives any client.
refusal=$(lp -d kvz-rejecting /dev/null 2>&1 | sed -E 's/^lp: //' || true)
[ -n "$refusal" ] || fail "kvz-rejecting: lp printed without a word"
print kvz-rejecting 1 "Не удалось напечатать протокол на принтере \"kvz-rejecting\": $refusal"
print kvz-no-a4 1 'Принтер "kvz-no-a4" не печатает на бумаге A4: выберите другой принтер или сохраните протокол в файл PDF.'

[ "$(lpstat -o kvz-stopped | wc -l)" = 1 ] || fail "kvz-stopped: the job is not waiting in the queue"
cupsenable kvz-stopped
drain
for q in kvz-margins kvz-letter kvz-stopped; do compare "$q"; done
for q in kvz-rejecting kvz-no-a4; do
  [ ! -s "$work/out/$q.pdf" ] || fail "$q: printed all the same"
done
[ "$(lpstat -W completed -o | wc -l)" = 3 ] || fail "not three jobs done: $(lpstat -W completed -o)"

if [ "$failures" -gt 0 ]; then
  echo "cupsd's log:" >&2
  cat "$work/log/error_log" >&2 || true
  exit 1
fi
echo "print tests passed"
