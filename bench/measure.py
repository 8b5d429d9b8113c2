#!/usr/bin/python3
# measure.py: the timing loop and the report of the benchmark (bench/run.sh).
#
#   measure.py direct COMMANDS.json OUT.json PASSES
#       Runs every command of COMMANDS.json ([{"name", "argv", "env"}]) once per
#       pass, the commands interleaved (one pass runs each once, in a new random
#       order each pass), so that a change of the machine's load, and what the
#       run before leaves behind (a Python start's cache misses, ports in
#       TIME_WAIT), falls on all alike. Each
#       run is one posix_spawn with exactly the given environment, standard
#       output to /dev/null; wall time from the spawn to wait4. Then each
#       command's peak memory (max RSS) over MEMORY_RUNS runs under GNU time.
#       A run that ends with another status than 0 stops the benchmark.
#   measure.py padding WORK
#       The HTML lines that pad the pages of 10 and 50 rows (WORK/page<N>.out) to
#       the size of the page of 200 rows, as "n10,n50,n200" for make_site.py.
#   measure.py plan LOG
#       The floor's plan lines of the runtime calls in LOG (the call log of the
#       trial runtime): each call with its parameters' types.
#   measure.py commands WORK TS CGI_DIR SITE_DIR SID [LINK_KEY...]
#       The commands of the direct runs as JSON (for "direct").
#   measure.py fallback-commands TS PREV_TS SID
#       The commands of the fallback phase (runtime without multicall).
#   measure.py wrk-line NAME < wrk output      one line of the wrk table
#   measure.py report DIRECT.json[,DIRECT2.json...] WRK.tsv LINKS.json MACHINE.txt OUT.md
#       Prints the figures (median and spread) and the ratios against the aims,
#       and writes them as Markdown to OUT.md.
import json
import os
import random
import statistics
import sys
import time

# The aims: TelvarinServer against the floor without calls at N = 50 and 200,
# against the previous release at N = 200, against the Python page at N = 50;
# Sheetmaker against the previous release's; the fallback no slower than the
# previous release at any N.
AIM_FLOOR_RATIO = {50: 1.3, 200: 1.5}
AIM_PREV_FACTOR = 3.0
AIM_PYTHON_FACTOR = 20.0
AIM_SMK_FACTOR = 5.0
AIM_PEAK_KIB = 4096
PAGE_ROWS = (10, 50, 200)
MEMORY_RUNS = 3
TIME = "/usr/bin/time"


def quartiles(values):
    values = sorted(values)
    if len(values) < 4:
        return values[0], statistics.median(values), values[-1]
    q = statistics.quantiles(values, n=4, method="inclusive")
    return q[0], q[1], q[2]


def run_direct(commands_path, out_path, passes):
    with open(commands_path) as f:
        commands = json.load(f)
    devnull = os.open(os.devnull, os.O_WRONLY)
    actions = [(os.POSIX_SPAWN_DUP2, devnull, 1)]
    samples = {c["name"]: {"ms": [], "rss_kib": []} for c in commands}
    order = random.Random(1)  # the same orders in every run of the benchmark
    for _ in range(passes):
        for c in order.sample(commands, len(commands)):
            start = time.perf_counter_ns()
            pid = os.posix_spawn(c["argv"][0], c["argv"], c["env"], file_actions=actions)
            _, status, usage = os.wait4(pid, 0)
            spent = time.perf_counter_ns() - start
            if os.waitstatus_to_exitcode(status) != 0:
                sys.exit("measure.py: %s ended with status %d" %
                         (c["name"], os.waitstatus_to_exitcode(status)))
            samples[c["name"]]["ms"].append(spent / 1e6)
    # Peak memory through GNU time (its own fork is small): the rusage of a child
    # spawned from this process would count this process's memory too, which the
    # child holds until its exec.
    out = out_path + ".rss"
    for _ in range(MEMORY_RUNS):
        for c in commands:
            argv = [TIME, "-f", "%M", "-o", out] + c["argv"]
            pid = os.posix_spawn(TIME, argv, c["env"], file_actions=actions)
            _, status, _ = os.wait4(pid, 0)
            if os.waitstatus_to_exitcode(status) != 0:
                sys.exit("measure.py: %s under %s failed" % (c["name"], TIME))
            with open(out) as f:
                samples[c["name"]]["rss_kib"].append(int(f.read().split()[-1]))
    os.unlink(out)
    with open(out_path, "w") as f:
        json.dump(samples, f)


# The note line of make_site.py that pads a page (its length with the line end).
PAD_LINE = ("<p class=note>Hinweis 001: Diese Zeile f&uuml;llt die Seite auf "
            "die Gr&ouml;&szlig;e der Seite mit 200 Zeilen auf.</p>")
# The types of each logged runtime method's parameters (i int, s string).
CALL_TYPES = {"getvarbyidx": "is", "getvarbyname": "is", "getvaridx": "s", "getobjidx": "s"}


def padding(work):
    sizes = {n: os.path.getsize(os.path.join(work, "page%d.out" % n)) for n in PAGE_ROWS}
    line = len(PAD_LINE) + 1
    print(",".join(str(round((sizes[200] - sizes[n]) / line)) for n in PAGE_ROWS))


def plan(log_path):
    with open(log_path, "rb") as f:
        lines = f.read().decode("latin-1").splitlines()
    for line in lines:
        method, *params = line.split("\t")
        sig = CALL_TYPES[method]
        if len(sig) != len(params):
            sys.exit("measure.py: unexpected call %r" % line)
        print("\t".join([method] + ["%s:%s" % (t, p) for t, p in zip(sig, params)]))


def commands(work, ts, cgi, site, sid, keys):
    def page(name, argv, n):
        return {"name": name, "argv": argv,
                "env": {"REQUEST_METHOD": "GET", "REMOTE_ADDR": "127.0.0.1",
                        "QUERY_STRING": "SP=BENCH&sitename=P%d&sid=%s" % (n, sid)}}

    def floor(name, argv, q):
        return {"name": name, "argv": argv,
                "env": {"REQUEST_METHOD": "GET", "QUERY_STRING": q, "REMOTE_ADDR": "127.0.0.1"}}

    cmds = []
    for n in PAGE_ROWS:
        cmds.append(page("ts%d" % n, [ts], n))
        cmds.append(page("prev%d" % n, [cgi + "/TelvarinServerPrev.ccc"], n))
        cmds.append(floor("floor%d" % n, [cgi + "/floor.ccc"], str(n)))
        cmds.append(floor("mc%d" % n, [cgi + "/floor.ccc"], "mc%d" % n))
        cmds.append(floor("py%d" % n, [cgi + "/page.ccc"], str(n)))
    cmds.append(floor("floor0", [cgi + "/floor.ccc"], "0"))
    cmds.append({"name": "smk", "argv": [site + "/Sheetmaker", "SMK"], "env": {}})
    cmds.append({"name": "prevsmk", "argv": [work + "/SheetmakerPrev", "SMK"], "env": {}})
    cmds.append({"name": "lookups", "argv": [work + "/lookups", "smk"], "env": {}})
    cmds.append({"name": "lookupsmc", "argv": [work + "/lookups", "smkmc"], "env": {}})
    for k in keys:
        d = "%s/link-%s/" % (work, k)
        cmds.append(page("ts50-" + k, [d + "TelvarinServer"], 50))
        cmds.append(floor("floor50-" + k, [d + "floor_cgi"], "50"))
        cmds.append(floor("floor0-" + k, [d + "floor_cgi"], "0"))
    json.dump(cmds, sys.stdout)


def fallback_commands(ts, prev_ts, sid):
    def page(name, argv, n):
        return {"name": name, "argv": argv,
                "env": {"REQUEST_METHOD": "GET", "REMOTE_ADDR": "127.0.0.1",
                        "QUERY_STRING": "SP=BENCH&sitename=P%d&sid=%s" % (n, sid)}}
    cmds = []
    for n in PAGE_ROWS:
        cmds.append(page("fb-ts%d" % n, [ts], n))
        cmds.append(page("fb-prev%d" % n, [prev_ts], n))
    json.dump(cmds, sys.stdout)


def wrk_line(name):
    # The Lua script of run.sh prints: WRK requests errors p25 p50 p75 bytes (microseconds).
    for line in sys.stdin:
        if line.startswith("WRK "):
            requests, errors, p25, p50, p75, size = line.split()[1:7]
            print("\t".join([name, requests, errors, p25, p50, p75, size]))
            return
    sys.exit("measure.py: no WRK line for %s" % name)


def fmt_ms(q):
    return "%.2f ms (IQR %.2f–%.2f)" % (q[1], q[0], q[2])


def report(direct_path, wrk_path, links_path, machine_path, out_path):
    direct = {}
    for path in direct_path.split(","):
        with open(path) as f:
            direct.update(json.load(f))
    wrk = {}
    with open(wrk_path) as f:
        for line in f:
            name, requests, errors, p25, p50, p75, size = line.split("\t")
            wrk.setdefault(name, []).append(
                (int(requests), int(errors), float(p25) / 1000, float(p50) / 1000,
                 float(p75) / 1000, int(size)))
    with open(links_path) as f:
        links = json.load(f)
    with open(machine_path) as f:
        machine = f.read().rstrip("\n")

    out = []
    say = out.append
    d = {name: quartiles(s["ms"]) for name, s in direct.items()}
    rss = {name: max(s["rss_kib"]) for name, s in direct.items()}
    runs = {name: len(s["ms"]) for name, s in direct.items()}

    def w(name):
        # Per wrk run its quartiles; the figure is the median of each over the runs.
        rows = wrk[name]
        return (statistics.median(r[2] for r in rows), statistics.median(r[3] for r in rows),
                statistics.median(r[4] for r in rows))

    def wrk_requests(name):
        return sum(r[0] for r in wrk[name]), sum(r[1] for r in wrk[name])

    say("## Machine and load\n\n```\n%s\n```\n" % machine)
    say("## Started directly (own fork/exec loop, CGI environment, output to /dev/null)\n")
    say("| program | N calls | time per run: median (IQR) | min–max | runs | peak memory (max RSS) |")
    say("|---|---:|---|---|---:|---:|")
    order = ([("TelvarinServer", "ts%d" % n, n) for n in PAGE_ROWS] +
             [("previous release", "prev%d" % n, n) for n in PAGE_ROWS] +
             [("floor, one multicall (same calls, same bytes)", "mc%d" % n, n)
              for n in PAGE_ROWS] +
             [("floor, a connection per call (same calls, same bytes)", "floor%d" % n, n)
              for n in PAGE_ROWS] +
             [("floor without calls (same bytes)", "floor0", 0)] +
             [("Python CGI (xmlrpc.client)", "py%d" % n, n) for n in PAGE_ROWS] +
             [("fallback: TelvarinServer, runtime without multicall", "fb-ts%d" % n, n)
              for n in PAGE_ROWS] +
             [("fallback: previous release, same runtime", "fb-prev%d" % n, n)
              for n in PAGE_ROWS] +
             [("Sheetmaker, 1000-row site", "smk", 1000),
              ("previous Sheetmaker, same site", "prevsmk", 1000),
              ("bare lookups in multicalls (same 1000 calls)", "lookupsmc", 1000),
              ("bare lookups, a connection each (same 1000 calls)", "lookups", 1000)])
    for label, name, n in order:
        s = direct[name]["ms"]
        say("| %s | %d | %s | %.2f–%.2f | %d | %d KiB |" %
            (label, n, fmt_ms(d[name]), min(s), max(s), runs[name], rss[name]))
    say("")
    say("## Through lighttpd (wrk, 1 connection, loopback; latency per request)\n")
    say("| what | N calls | latency: median (IQR) | requests | errors | bytes/response |")
    say("|---|---:|---|---:|---:|---:|")
    worder = ([("TelvarinServer", "ts%d" % n, n) for n in PAGE_ROWS] +
              [("previous release", "prev%d" % n, n) for n in PAGE_ROWS] +
              [("floor, one multicall", "mc%d" % n, n) for n in PAGE_ROWS] +
              [("floor, a connection per call", "floor%d" % n, n) for n in PAGE_ROWS] +
              [("floor without calls", "floor0", 0), ("static file (same page)", "static", 0)] +
              [("Python CGI", "py%d" % n, n) for n in PAGE_ROWS] +
              [("fallback: TelvarinServer", "fb-ts%d" % n, n) for n in PAGE_ROWS] +
              [("fallback: previous release", "fb-prev%d" % n, n) for n in PAGE_ROWS])
    for label, name, n in worder:
        q = w(name)
        requests, errors = wrk_requests(name)
        size = wrk[name][-1][5] // max(1, wrk[name][-1][0])
        say("| %s | %d | %s | %d | %d | %d |" % (label, n, fmt_ms(q), requests, errors, size))
    say("")
    say("## Ratios against the aims\n")
    say("| ratio | direct | through lighttpd | aim | met |")
    say("|---|---:|---:|---|---|")
    def yes(ok):
        return "yes" if ok else "no"

    for n in PAGE_ROWS:
        rd = d["ts%d" % n][1] / d["floor0"][1]
        rw = w("ts%d" % n)[1] / w("floor0")[1]
        if n in AIM_FLOOR_RATIO:
            aim, met = "≤ %.1f" % AIM_FLOOR_RATIO[n], yes(rw <= AIM_FLOOR_RATIO[n])
        else:
            aim, met = "–", "–"
        say("| TelvarinServer / floor without calls, N = %d | %.2f | %.2f | %s | %s |" %
            (n, rd, rw, aim, met))
    for n in PAGE_ROWS:
        rd = d["ts%d" % n][1] / d["mc%d" % n][1]
        rw = w("ts%d" % n)[1] / w("mc%d" % n)[1]
        say("| TelvarinServer / floor with one multicall, N = %d | %.2f | %.2f | – | – |" %
            (n, rd, rw))
    for n in PAGE_ROWS:
        fd = d["prev%d" % n][1] / d["ts%d" % n][1]
        fw = w("prev%d" % n)[1] / w("ts%d" % n)[1]
        aim, met = ("≥ %.0f" % AIM_PREV_FACTOR, yes(fw >= AIM_PREV_FACTOR)) if n == 200 else ("–", "–")
        say("| previous release / TelvarinServer, N = %d | %.1f | %.1f | %s | %s |" %
            (n, fd, fw, aim, met))
    for n in PAGE_ROWS:
        fd = d["py%d" % n][1] / d["ts%d" % n][1]
        fw = w("py%d" % n)[1] / w("ts%d" % n)[1]
        aim, met = ("≥ %.0f" % AIM_PYTHON_FACTOR, yes(fw >= AIM_PYTHON_FACTOR)) if n == 50 else ("–", "–")
        say("| Python / TelvarinServer, N = %d | %.1f | %.1f | %s | %s |" % (n, fd, fw, aim, met))
    for n in PAGE_ROWS:
        rd = d["fb-ts%d" % n][1] / d["fb-prev%d" % n][1]
        rw = w("fb-ts%d" % n)[1] / w("fb-prev%d" % n)[1]
        say("| fallback TelvarinServer / previous release, N = %d | %.3f | %.3f | ≤ 1 | %s |" %
            (n, rd, rw, yes(rw <= 1.0)))
    fs = d["prevsmk"][1] / d["smk"][1]
    say("| previous Sheetmaker / Sheetmaker, 1000 rows | %.1f | – | ≥ %.0f | %s |" %
        (fs, AIM_SMK_FACTOR, yes(fs >= AIM_SMK_FACTOR)))
    rs = d["smk"][1] / d["lookupsmc"][1]
    say("| Sheetmaker / bare lookups in multicalls, 1000 rows | %.2f | – | – | – |" % rs)
    for name, label in [("ts200", "TelvarinServer, N = 200"), ("fb-ts200", "fallback, N = 200"),
                        ("smk", "Sheetmaker, 1000 rows")]:
        say("| peak memory %s / 4 MiB | %.2f (%d KiB) | – | < 1 | %s |" %
            (label, rss[name] / AIM_PEAK_KIB, rss[name], yes(rss[name] < AIM_PEAK_KIB)))
    say("")
    say("## Link choices (started directly, interleaved with the runs above)\n")
    say("| choice | TelvarinServer N = 50 | floor N = 50 | floor without calls | "
        "peak memory (TS, N = 50) | libraries loaded |")
    say("|---|---|---|---|---:|---|")
    for choice in links:
        key = choice["key"]
        say("| %s | %s | %s | %s | %d KiB | %s |" %
            (choice["label"], fmt_ms(d["ts50-" + key]), fmt_ms(d["floor50-" + key]),
             fmt_ms(d["floor0-" + key]), rss["ts50-" + key], choice["needed"]))
    text = "\n".join(out) + "\n"
    sys.stdout.write(text)
    with open(out_path, "w") as f:
        f.write(text)


def main():
    what = sys.argv[1]
    if what == "direct":
        run_direct(sys.argv[2], sys.argv[3], int(sys.argv[4]))
    elif what == "padding":
        padding(sys.argv[2])
    elif what == "plan":
        plan(sys.argv[2])
    elif what == "commands":
        commands(*sys.argv[2:7], sys.argv[7:])
    elif what == "fallback-commands":
        fallback_commands(*sys.argv[2:5])
    elif what == "wrk-line":
        wrk_line(sys.argv[2])
    elif what == "report":
        report(*sys.argv[2:7])
    else:
        sys.exit("measure.py: unknown step %s" % what)


if __name__ == "__main__":
    main()
