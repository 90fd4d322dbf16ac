#!/usr/bin/env bash
# Both printouts on a real CUPS queue: a cups-pdf queue becomes the default printer,
# print_probe sends the word list and the statistics to it through the program's printer
# seam, and the PDF files that arrive are checked for their job title, page count and page
# orientation (the diagram on a landscape page, everything else portrait, the printer back in
# portrait afterwards). Then the same queue rejects jobs, and a second queue's backend fails
# every job: both printouts must say so in a box, and nothing may arrive. When LibreOffice is
# installed, the RTF files the program wrote are read back with it: text, tab stops and font.
#
# Usage: test_print.sh <tafelix-executable> <program-folder> [<source-dir>]
# print_probe is taken from $TAFELIX_PRINT_PROBE, else from the build folder that holds the
# program folder. Needs root to run cupsd. Exit 77 (skipped) only when CUPS or cups-pdf is
# missing and cannot be installed.
set -euo pipefail

program_dir=$(realpath "$2")
probe=${TAFELIX_PRINT_PROBE:-$(dirname "$program_dir")/tests/system/print_probe}
[[ -x $probe ]] || { echo "FAIL: print_probe not found at $probe (build it first)" >&2; exit 1; }

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

need_cups() {
    [[ -x /usr/sbin/cupsd && -x /usr/lib/cups/backend/cups-pdf ]] &&
        command -v lpadmin >/dev/null && command -v pdfinfo >/dev/null &&
        [[ -f /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd ]]
}
if ! need_cups; then
    if ((EUID == 0)) && command -v apt-get >/dev/null; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
            cups printer-driver-cups-pdf poppler-utils >/dev/null 2>&1 || true
    fi
    need_cups || { echo "SKIP: CUPS with cups-pdf is not installed"; exit 77; }
fi
((EUID == 0)) || { echo "SKIP: starting cupsd and adding a queue needs root"; exit 77; }

queue=TafelixPDF
failing_queue=TafelixKaputt
failing_backend=/usr/lib/cups/backend/tafelixkaputt
instance=tafelix
instance_conf=/etc/cups/cups-pdf-$instance.conf
work=$(mktemp -d "${TMPDIR:-/tmp}/tafelix-print.XXXXXX")
chmod 755 "$work"
mkdir -m 1777 "$work/pdf"
mkdir "$work/files"
cupsd_pid="" previous_default="" queue_added=false

cleanup() {
    local rc=$?
    if $queue_added; then
        lpadmin -x "$queue" 2>/dev/null || true
        lpadmin -x "$failing_queue" 2>/dev/null || true
        if [[ -n $previous_default ]]; then lpadmin -d "$previous_default" 2>/dev/null || true; fi
    fi
    rm -f "$instance_conf" "$failing_backend"
    if [[ -n $cupsd_pid ]]; then
        kill "$cupsd_pid" 2>/dev/null || true
        wait "$cupsd_pid" 2>/dev/null || true
    fi
    if ((rc == 0)); then
        rm -rf "$work"
    else
        echo "kept for inspection: $work (pdf/, files/, probe.log)" >&2
    fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# lpstat -r exits 0 either way; only its words tell.
scheduler_up() { [[ $(lpstat -r 2>/dev/null) == "scheduler is running" ]]; }

# Our own cupsd in the foreground, so that it can be stopped by its id; a running one is
# used as it is and left running.
if ! scheduler_up; then
    /usr/sbin/cupsd -f &
    cupsd_pid=$!
    deadline=$((SECONDS + 20))
    until scheduler_up; do
        kill -0 "$cupsd_pid" 2>/dev/null || fail "cupsd ended at once"
        ((SECONDS < deadline)) || fail "cupsd does not answer"
        sleep 0.1
    done
fi

# A cups-pdf instance of its own: its files land in our folder, named with the job number.
cat >"$instance_conf" <<CONF
Out $work/pdf
AnonDirName $work/pdf
Label 2
Grp lpadmin
CONF
previous_default=$(lpstat -d 2>/dev/null | sed -n 's/^system default destination: //p')
lpadmin -p "$queue" -E -v "cups-pdf:/$instance" -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
    -o PageSize=A4
queue_added=true
lpadmin -d "$queue"

QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=60000 timeout 120 "$probe" "$work/files" \
    >"$work/probe.log" 2>&1 || { cat "$work/probe.log" >&2; fail "print_probe failed"; }
grep '^print_probe' "$work/probe.log"

# cups-pdf writes in the background: wait for all four jobs to be done.
deadline=$((SECONDS + 90))
while (($(find "$work/pdf" -name '*.pdf' | wc -l) < 4)) || [[ -n $(lpstat -o "$queue" 2>/dev/null) ]]; do
    ((SECONDS < deadline)) || { ls -l "$work/pdf" >&2; fail "not all four PDF files arrived"; }
    sleep 0.2
done

# In job order (cups-pdf puts "job_<n>" into each name): title and page count. The title
# arrives in PostScript's brackets. The second "Vokabeln" proves that the printer is back in
# portrait: on landscape pages the 127 lines would need a third page.
mapfile -t pdfs < <(find "$work/pdf" -name '*.pdf' | sed -E 's/.*job_([0-9]+).*/\1 &/' |
    sort -n | cut -d' ' -f2-)
((${#pdfs[@]} == 4)) || fail "expected 4 PDF files, found ${#pdfs[@]}"
expected=("Vokabeln 2" "Statistik 1" "Statistik 1" "Vokabeln 2")
for i in 0 1 2 3; do
    info=$(pdfinfo "${pdfs[$i]}" 2>/dev/null)
    title=$(sed -n 's/^Title: *//p' <<<"$info")
    title=${title#(}
    title=${title%)}
    pages=$(sed -n 's/^Pages: *//p' <<<"$info")
    size=$(sed -n 's/^Page size: *//p' <<<"$info")
    echo "job $((i + 1)): \"$title\", $pages page(s), $size"
    [[ "$title $pages" == "${expected[$i]}" ]] ||
        fail "job $((i + 1)) should be \"${expected[$i]}\""
done

# The diagram page. Landscape means the diagram's horizontal axis runs along the paper's
# long side, whether the queue hands out landscape pages or portrait paper with the drawing
# turned; the dark green average line, parallel to that axis, shows which way it runs. The
# drawing fills the middle of the page (10 % to 90 % both ways) and leaves the margins blank.
python=/usr/bin/python3
[[ -x $python ]] || python=python3
pdftoppm -r 60 -f 1 -l 1 "${pdfs[2]}" "$work/diagram" 2>/dev/null
"$python" - "$work"/diagram*.ppm <<'PY' || fail "the diagram is not printed in landscape over the middle of the page"
import sys
data = open(sys.argv[1], "rb").read()
magic, w, h, maxval, pixels = data.split(maxsplit=4)
w, h = int(w), int(h)
def px(x, y):
    i = 3 * (y * w + x)
    return pixels[i], pixels[i + 1], pixels[i + 2]
green = [(x, y) for y in range(h) for x in range(w)
         for r, g, b in [px(x, y)] if g > r + 40 and g > b + 40]
ink = [(x, y) for y in range(h) for x in range(w) if sum(px(x, y)) < 3 * 160]
if not green or not ink:
    sys.exit("no drawing on the page")
gw = max(x for x, _ in green) - min(x for x, _ in green) + 1
gh = max(y for _, y in green) - min(y for _, y in green) + 1
along_long_side = (gh > 4 * gw) if h > w else (gw > 4 * gh)
x0, x1 = min(x for x, _ in ink), max(x for x, _ in ink)
y0, y1 = min(y for _, y in ink), max(y for _, y in ink)
inside = x0 >= w * 0.08 and x1 <= w * 0.92 and y0 >= h * 0.08 and y1 <= h * 0.92
filled = (x1 - x0) >= w * 0.6 and (y1 - y0) >= h * 0.6
print(f"diagram page {w}x{h} px: average line {gw}x{gh} px, drawing from ({x0},{y0}) to ({x1},{y1})")
sys.exit(0 if along_long_side and inside and filled else 1)
PY

# A queue that rejects jobs: CUPS makes no job at all, which Qt's print engine does not
# notice; the program must.
jobs_of() { lpstat -W all -o "$1" 2>/dev/null | wc -l; }
pdfs_before=$(find "$work/pdf" -name '*.pdf' | wc -l)
jobs_before=$(jobs_of "$queue")
cupsreject "$queue"
QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=60000 timeout 120 "$probe" "$work/files" \
    "Der Drucker $queue nimmt zur Zeit keine Aufträge an." >"$work/probe-rejected.log" 2>&1 ||
    { cat "$work/probe-rejected.log" >&2; fail "a rejecting queue was not reported"; }
grep '^print_probe' "$work/probe-rejected.log"
cupsaccept "$queue"
(($(jobs_of "$queue") == jobs_before)) || fail "the rejecting queue got a job"
(($(find "$work/pdf" -name '*.pdf' | wc -l) == pdfs_before)) || fail "a rejected job was printed"

# A queue whose backend fails every job, set to abort the job then: the job exists, and ends
# aborted.
cat >"$failing_backend" <<'SH'
#!/bin/sh
if [ $# -eq 0 ]; then
    echo 'direct tafelixkaputt "Unknown" "Tafelix test backend that always fails"'
    exit 0
fi
cat >/dev/null
echo "ERROR: this test printer always fails" >&2
exit 1
SH
chmod 700 "$failing_backend"
lpadmin -p "$failing_queue" -E -v tafelixkaputt:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
    -o printer-error-policy=abort-job
lpadmin -d "$failing_queue"
QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=60000 timeout 120 "$probe" "$work/files" \
    "wurde abgebrochen" >"$work/probe-aborted.log" 2>&1 ||
    { cat "$work/probe-aborted.log" >&2; fail "an aborted job was not reported"; }
grep '^print_probe' "$work/probe-aborted.log"
lpadmin -d "$queue"

# The RTF files read back by a real word processor.
if ! command -v soffice >/dev/null; then
    echo "NOTE: soffice not installed; the RTF files were not read back"
    echo "PASS"
    exit 0
fi
lo=(soffice --headless "-env:UserInstallation=file://$work/lo-profile")
"${lo[@]}" --convert-to "txt:Text (encoded):UTF8" --outdir "$work/txt" "$work/files/Probe.rtf" \
    "$work/files/Statistik05.03.2024.rtf" >/dev/null 2>&1 || true
"${lo[@]}" --convert-to odt --outdir "$work/odt" "$work/files/Probe.rtf" >/dev/null 2>&1 || true
[[ -f $work/txt/Probe.txt && -f $work/odt/Probe.odt ]] || fail "LibreOffice did not read Probe.rtf"

"$python" - "$work/txt/Probe.txt" "$work/txt/Statistik05.03.2024.txt" "$work/odt/Probe.odt" <<'PY' ||
import re, sys, zipfile
words = open(sys.argv[1], encoding="utf-8-sig").read().split("\n")
stats = open(sys.argv[2], encoding="utf-8-sig").read().split("\n")
def expect(cond, what):
    if not cond:
        sys.exit("RTF read back: " + what)
expect(words[:3] == ["", "", ""], "three empty lines first")
expect(re.fullmatch(r"\t.*Probe\.vkb \t\tvom: 05\.03\.2024", words[3]) is not None,
       "heading line: %r" % words[3])
expect(words[4] == "\t" + "_" * 105, "rule of 105 underscores")
expect(words[5] == "\tDeutsch\t|Fremdsp.\t|Synonym", "column titles")
expect(words[7] == "\tT\u00fcr 1\t|door 1\t|Synonym {1} \\ gate", "first word: %r" % words[7])
expect(words[126] == "\tT\u00fcr 120\t|door 120\t|Synonym {120} \\ gate", "last word")
expect(all(w == "" for w in words[127:]), "nothing after the last word")
expect(stats[3] == "\tVokabeldatei\tDatum\tbearbeitet\tZeit\trichtig\tfalsch\tgel\u00f6st[%]",
       "statistics titles: %r" % stats[3])
expect(stats[4] == "\tProbe.vkb\t05.03.2024\t20\t00:02:00\t10\t10\t50,00", "first record")
expect(stats[9] == "\t" * 7, "the empty last row")
content = zipfile.ZipFile(sys.argv[3]).read("content.xml").decode("utf-8")
points = {"in": 72.0, "cm": 72 / 2.54, "mm": 72 / 25.4, "pt": 1.0}
stops = sorted({round(float(v) * points[u]) for v, u in
                re.findall(r'style:tab-stop style:position="([0-9.]+)(in|cm|mm|pt)"', content)})
expect(stops == [20, 180, 350], "tab stops %r pt" % stops)
expect('style:font-name="Courier New"' in content, "font Courier New")
expect('fo:font-size="8pt"' in content, "8 points")
print("RTF read back by LibreOffice: text, tab stops 20/180/350 pt, Courier New 8 pt")
PY
    fail "the RTF files do not read back as written"
echo "PASS"
