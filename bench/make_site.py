#!/usr/bin/python3
# make_site.py OUT_DIR: writes the benchmark's trial-runtime project and sites.
#
#   OUT_DIR/project.txt        1000 variables (numbers, selections, texts; a
#                              quarter read-only) and one macro
#   OUT_DIR/site/BENCH.TVS     site of the page benchmark: pages P10, P50, P200
#   OUT_DIR/site/BENCH_P<N>.SHT  N object rows; the smaller pages are padded
#                              with HTML blocks (no variable references, so no
#                              runtime calls) to the size of the largest
#   OUT_DIR/site/SMK.TVS       site of the compiler benchmark: 5 pages of 200
#   OUT_DIR/site/SMK_S<k>.SHT  object rows, 1000 names in all
#
# Run by bench/run.sh; nothing here measures anything.
import os
import sys

VARIABLES = 1000
PAGE_ROWS = (10, 50, 200)
COMPILER_PAGES = 5
COMPILER_ROWS_PER_PAGE = 200


def var_name(i):
    return "WERT%04d" % i


def var_kind(i):
    return "NUS"[i % 3]


def write_latin1(path, lines):
    with open(path, "wb") as f:
        f.write("".join(line + "\n" for line in lines).encode("latin-1"))


def project_lines():
    lines = ["# Benchmark project: %d variables and one macro." % VARIABLES]
    for i in range(1, VARIABLES + 1):
        kind = var_kind(i)
        value = {"N": "%d,%d" % (15 + i % 10, i % 10), "U": ("Aus", "Ein")[i % 2],
                 "S": "Betrieb %d" % i}[kind]
        lines.append("VAR %d %s %s %s" % (i, var_name(i), kind, value))
    for i in range(1, VARIABLES + 1):
        if i % 4 != 1:
            lines.append("READONLY %s" % var_name(i))
    lines.append("MACRO 1 ALLESAUS")
    return lines


def object_row(i):
    kind = var_kind(i)
    editable = "1" if i % 4 == 1 else "0"
    label = "Punkt %d" % i
    if kind == "U":
        return "OBJROW=%s@%s@%s@@0@U@@2&Aus&Ein@@" % (var_name(i), label, editable)
    template = "######" if kind == "N" else "################"
    return "OBJROW=%s@%s@%s@@0@%s@@@@%s" % (var_name(i), label, editable, kind, template)


def page_lines(page, rows, padding):
    lines = [
        "#1000=%s" % page, "FILEVERS=100", "BG=F4F1E8",
        "#3000", "FSHEAD=16", "FCHEAD=1F3A5F", "OBWIDTH=200", "OWWIDTH=110", "INPW=120",
        "FW=1", "CELLD=0", "TXD=3",
        "#6000", "OBJCOLS=0x;2x;",
        "#8000", "SHEAD=Messwerte %s" % page,
        "#9000=3", "NAVI=Zehn:P10@F&uuml;nfzig:P50@Zweihundert:P200",
        "#10000",
    ]
    lines += [object_row(i) for i in range(1, rows + 1)]
    lines += ["#11000", "MACRO=ALLESAUS@Alles aus@0"]
    if padding:
        lines.append("#20000")
        lines += ["HTML1=<p class=note>Hinweis %03d: Diese Zeile f&uuml;llt die Seite auf "
                  "die Gr&ouml;&szlig;e der Seite mit 200 Zeilen auf.</p>" % k
                  for k in range(1, padding + 1)]
    lines += ["#9001=3", "NAVI=Zehn:P10@F&uuml;nfzig:P50@Zweihundert:P200"]
    return lines


def main():
    out = sys.argv[1]
    site = os.path.join(out, "site")
    os.makedirs(site, exist_ok=True)
    write_latin1(os.path.join(out, "project.txt"), project_lines())
    # About 19 bytes of page per row more than a padding line's 100: pad by the
    # difference of the object rows' share of the page (checked by run.sh).
    pad_env = os.environ.get("BENCH_PADDING", "")
    padding = dict(zip(PAGE_ROWS, [int(p) for p in pad_env.split(",")] if pad_env else
                       [0] * len(PAGE_ROWS)))
    write_latin1(os.path.join(site, "BENCH.TVS"),
                 ["AUTHMSG=Benchmark", "STARTPAGE=P10", "FREEIPS=(192.0.2.)", "BW=760"] +
                 ["*Site=P%d" % n for n in PAGE_ROWS])
    for n in PAGE_ROWS:
        write_latin1(os.path.join(site, "BENCH_P%d.SHT" % n),
                     page_lines("P%d" % n, n, padding[n]))
    write_latin1(os.path.join(site, "SMK.TVS"),
                 ["AUTHMSG=Compiler", "STARTPAGE=S1", "FREEIPS=(192.0.2.)"] +
                 ["*Site=S%d" % k for k in range(1, COMPILER_PAGES + 1)])
    for k in range(COMPILER_PAGES):
        first = k * COMPILER_ROWS_PER_PAGE + 1
        lines = ["#1000=S%d" % (k + 1), "FILEVERS=100", "#6000", "OBJCOLS=0x;1x;",
                 "#8000", "SHEAD=Teil %d" % (k + 1), "#10000"]
        lines += [object_row(i) for i in range(first, first + COMPILER_ROWS_PER_PAGE)]
        write_latin1(os.path.join(site, "SMK_S%d.SHT" % (k + 1)), lines)


if __name__ == "__main__":
    main()
