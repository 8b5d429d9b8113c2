#!/usr/bin/python3
# load_client.py: the load test's clients and checks, started by
# scripts/load-test.sh once the box is up. N browsers (threads, each from its
# own loopback address, so each has its own session files) sign on through the
# login form, view every page, send the pages' forms (now and then with a
# changed value or a ticked macro) and sign off now and then, for a fixed time.
# Half way the runtime's project is renumbered (a new variable and macro in
# front, every index one up) and the runtime reloaded, so that the next
# request has TelvarinServer run Sheetmaker while the others go on; right
# after that compile it is renumbered once more, its project file dated in
# the compile's second, which only the site's compile record tells apart.
#
# Afterwards it checks the responses (status 200, whole pages of the expected
# kind), the files (page files whole and compiled against the new numbering,
# the same as one more Sheetmaker run gives, no temporary files, session files
# well formed and exactly those of the clients still signed on), the runtime's
# call log (writes and macro starts within what the clients sent, each write
# to the variable and each start of the macro that the sending page showed,
# by the numbering in force when the runtime got it; the compile under load),
# lighttpd's error log (the programs write nothing to standard error) and that
# no program process is left. A form of a page from before the compile is
# refused with a notice; a changed field whose value changed since its page
# was shown is listed as not written. Prints the counts; exits 1 with a
# "FAIL:" line per failed check. Standard library only.
import argparse
import html
import html.parser
import http.client
import os
import random
import re
import signal
import statistics
import subprocess
import sys
import threading
import time
import urllib.parse

SITE = "TELVARINSERVER"
USER, PASSWORD = "demo", "telvarin"
FIXED_START = '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 3.2//EN">\n<html><head><title>'
SITE_START = '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01//EN">\n<html><head><title>'
PAGE_END = "</body></html>\n"
FIXED_TITLES = {"Telvarin-Server Anmeldung": "login", "Telvarin-Server Error": "error",
                "Telvarin-Server Signoff": "signoff"}
UNAVAILABLE = "Wert nicht verf&uuml;gbar"
STALE_NOTICE = "Die Seite war veraltet; bitte die Werte erneut eingeben."
CHANGED_NOTICE = "Nicht \xfcbernommen (inzwischen ge\xe4ndert): "
INVALID_INDEX = "ung\xfcltiger Index"
# Values a user types; one has blanks, one an umlaut (sent as %FC).
NUMBERS = ["19,5", "20", "20,5", "21", "21,5", "22", "22,5", "23", "23,5"]
TEXTS = ["Tagbetrieb", "Nachtbetrieb", "Ferien am See", "Fr\xfchbetrieb"]
PROCESS_NAMES = ("TelvarinServer.ccc", "TelvarinInterface.ccc", "Sheetmaker")


def fail(failures, message):
    failures.append(message)


# ---- the demo site and the projects ------------------------------------------

def read_lines(path):
    with open(path, "rb") as f:
        data = f.read().decode("latin-1")
    return data, data.split("\n")


def demo_pages(demo_site):
    """Page name -> heading, rows (object and macro rows), form, source lines."""
    _, site_lines = read_lines(os.path.join(demo_site, SITE + ".TVS"))
    pages = {}
    for line in site_lines:
        if not line.startswith("*Site="):
            continue
        name = line[len("*Site="):].rstrip("\r")
        _, lines = read_lines(os.path.join(demo_site, "%s_%s.SHT" % (SITE, name)))
        lines = [l.rstrip("\r") for l in lines if len(l) >= 2]
        heading = next(l[6:] for l in lines if l.startswith("SHEAD="))
        rows = sum(1 for l in lines if l.startswith(("OBJROW=", "MACRO=")))
        form = any(l.startswith("OBJCOLS=") and "2x" in l for l in lines)
        # A row's label as the browser shows it -> its variable; the macros in order.
        labels = {html.unescape(l[7:].split("@")[1]): l[7:].split("@")[0].upper()
                  for l in lines if l.startswith("OBJROW=")}
        macros = [l[6:].split("@")[0].upper() for l in lines if l.startswith("MACRO=")]
        pages[name] = {"heading": heading, "rows": rows, "form": form, "lines": lines,
                       "labels": labels, "macros": macros}
    return pages


def project_indices(path):
    """(variables, macros): name -> index, from a trial-runtime project file."""
    variables, macros = {}, {}
    _, lines = read_lines(path)
    for line in lines:
        f = line.split()
        if len(f) >= 3 and f[0] == "VAR":
            variables[f[2].upper()] = int(f[1])
        elif len(f) >= 3 and f[0] == "MACRO":
            macros[f[2].upper()] = int(f[1])
    return variables, macros


def renumbered_project(path, name):
    """The project text with a new variable and macro (named after name) in
    front and every other index one up, so that every compiled index changes."""
    _, lines = read_lines(path)
    out = ["# Renumbered by the load test: a new first variable and macro.",
           "VAR 1 LICHT_%s U Aus" % name, "MACRO 1 %sWASSER" % name]
    for line in lines:
        f = line.split(None, 2)
        if len(f) == 3 and f[0] in ("VAR", "MACRO"):
            line = "%s %d %s" % (f[0], int(f[1]) + 1, f[2])
        out.append(line)
    return "\n".join(out).rstrip("\n") + "\n"


def af_path(ablkrn):
    """The project file that the runtime configuration file names ("AF=")."""
    _, lines = read_lines(ablkrn)
    return next(l[3:] for l in lines if l.startswith("AF="))


def write_whole(path, text):
    tmp = path + ".new"
    with open(tmp, "wb") as f:
        f.write(text.encode("latin-1"))
    os.rename(tmp, path)


# ---- pages --------------------------------------------------------------------

def page_kind(body):
    """('login'|'error'|'signoff'|'site', title), or ('broken', reason)."""
    if not body.endswith(PAGE_END):
        return "broken", "does not end with </body></html>: ...%r" % body[-60:]
    for start, fixed in ((FIXED_START, True), (SITE_START, False)):
        if body.startswith(start):
            end = body.find("</title>\n", len(start))
            if end < 0:
                return "broken", "no title line"
            title = body[len(start):end]
            if fixed:
                kind = FIXED_TITLES.get(title)
                return (kind, title) if kind else ("broken", "unknown title %r" % title)
            return "site", title
    return "broken", "unknown start %r" % body[:80]


class FormParser(html.parser.HTMLParser):
    """The controls of a page's first form in document order, the form's address,
    the page's links, and for each control the label of its table row."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.controls = []   # [kind, name, value, options, row label]
        self.action = None
        self.links = []
        self.label = None    # text of the last object cell (td.objcs)
        self.in_label = False
        self.in_form = False
        self.select = None
        self.in_option = False

    def handle_starttag(self, tag, attrs):
        a = {k.lower(): (v or "") for k, v in attrs}
        if tag == "form":
            self.in_form = True
            if self.action is None:
                self.action = a.get("action", "")
        elif tag == "td" and a.get("class") == "objcs":
            self.label = ""
            self.in_label = True
        elif tag == "a" and "href" in a:
            self.links.append(a["href"].strip())
        elif not self.in_form:
            return
        elif tag == "input":
            self.controls.append([a.get("type", "text").lower(), a.get("name", ""),
                                  a.get("value", ""), None, self.label])
        elif tag == "select":
            self.select = ["select", a.get("name", ""), None, [], self.label]
            self.controls.append(self.select)
        elif tag == "option" and self.select is not None:
            self.select[3].append(["", "selected" in a])
            self.in_option = True

    def handle_data(self, data):
        if self.in_label:
            self.label += data
        if self.in_option:
            self.select[3][-1][0] += data

    def handle_endtag(self, tag):
        if tag == "td":
            self.in_label = False
        if tag == "form":
            self.in_form = False
        elif tag == "option":
            self.in_option = False
        elif tag == "select" and self.select is not None:
            self.in_option = False
            opts = self.select[3]
            for o in opts:   # a browser sends an option's text without its blanks
                o[0] = " ".join(o[0].split())
            chosen = [o[0] for o in opts if o[1]] or [o[0] for o in opts[:1]]
            self.select[2] = chosen[0] if chosen else ""
            self.select = None


def parse_page(body):
    p = FormParser()
    p.feed(body)
    p.close()
    return p


def encode_fields(fields):
    """application/x-www-form-urlencoded in ISO-8859-1, as a browser sends it."""
    def q(s):
        return urllib.parse.quote_plus(s, safe="*-._", encoding="latin-1")
    return "&".join(q(k) + "=" + q(v) for k, v in fields)


# ---- one client ---------------------------------------------------------------

class Stats:
    def __init__(self):
        self.lock = threading.Lock()
        self.requests = {}        # request kind -> count
        self.pages = {}           # page kind -> count
        self.site_pages = {}      # page name -> count
        self.latencies = []       # (seconds, request kind)
        self.spans = []           # (wall-clock start, end) of every answered request
        self.failures = []
        self.stale_errors = 0     # error pages answering forms of renumbered pages
        self.stale_refused = 0    # forms refused as from a page of an older compile
        self.stale_sent = 0       # forms sent from pages shown before the reload ended
        self.refused_page_starts = []  # (wall-clock start of the page, name) of refused forms
        self.changed_listed = 0   # changed fields not written: changed since shown
        self.intended = set()     # (variable, value as the runtime logs it) sent as changed
        self.intended_macros = set()  # macro names ticked
        self.stale_pages = 0      # site pages whose request began before the reload ended
        self.stale_unavailable = 0  # of those, pages with an unavailable value or bad index
        self.forms = 0
        self.forms_changed = 0
        self.fields_changed = 0
        self.macros_ticked = 0
        self.writes_min = 0       # writes the runtime must have seen
        self.writes_max = 0       # and may have seen (a form stops at a refused write)
        self.macros_min = 0
        self.macros_max = 0
        self.held_sessions = {}   # client address -> session id still signed on
        self.views_after_reload = set()
        self.same_second = False  # the second renumbering's reload in the compile's second

    def add(self, field, key, n=1):
        with self.lock:
            d = getattr(self, field)
            d[key] = d.get(key, 0) + n


class Client(threading.Thread):
    def __init__(self, number, args, pages, stats, reload_state, deadline):
        # A daemon: Ctrl-C ends the run at once instead of after the deadline.
        super().__init__(name="client%d" % number, daemon=True)
        self.addr = "127.0.0.%d" % (11 + number)
        self.args = args
        self.pages = pages
        self.stats = stats
        self.reload = reload_state
        self.deadline = deadline
        self.rng = random.Random(args.seed * 1000 + number)
        self.sid = None
        self.slips = 0          # wrong sign-ons so far, each under a name of its own
        self.page = None        # (name, parsed page, request start time)
        self.next_page = 0

    def fail(self, message):
        with self.stats.lock:
            fail(self.stats.failures, "%s (%s): %s" % (self.name, self.addr, message))

    def request(self, kind, query="", body=None):
        """One request; returns (page kind, title, body text, start) or None."""
        path = self.args.path + ("?" + query if query else "")
        wall_start = time.time()
        start = time.monotonic()
        try:
            conn = http.client.HTTPConnection("127.0.0.1", self.args.port, timeout=120,
                                              source_address=(self.addr, 0))
            headers = {"Content-Type": "application/x-www-form-urlencoded"} if body else {}
            conn.request("POST" if body is not None else "GET", path,
                         body=body.encode("latin-1") if body is not None else None,
                         headers=headers)
            resp = conn.getresponse()
            data = resp.read()
            status, ctype = resp.status, resp.getheader("Content-Type", "")
            conn.close()
        except (OSError, http.client.HTTPException) as e:
            self.fail("%s %s: no answer: %r" % (kind, path, e))
            return None
        spent = time.monotonic() - start
        self.stats.add("requests", kind)
        with self.stats.lock:
            self.stats.latencies.append((spent, kind))
            self.stats.spans.append((wall_start, wall_start + spent))
        text = data.decode("latin-1")
        if status != 200:
            self.fail("%s %s: status %d" % (kind, path, status))
            return None
        if not ctype.lower().startswith("text/html"):
            self.fail("%s %s: content type %r" % (kind, path, ctype))
        pkind, title = page_kind(text)
        self.stats.add("pages", pkind)
        if pkind == "broken":
            self.fail("%s %s: page not whole: %s" % (kind, path, title))
            return None
        return pkind, title, text, start

    def stale(self, start):
        """Whether a request that began at start may have met the old numbering."""
        done = self.reload.get("done")
        return self.reload.get("sent") is not None and (done is None or start < done)

    def expect_site_page(self, got, name, kind):
        pkind, title, text, start = got
        if pkind != "site" or title != name:
            self.fail("%s: expected the page %s, got %s page %r" % (kind, name, pkind, title))
            return False
        info = self.pages[name]
        rows = text.count("</tr>")
        if "<h1>%s</h1>" % info["heading"] not in text or rows != info["rows"]:
            self.fail("%s: page %s not whole (%d of %d rows)" % (kind, name, rows, info["rows"]))
            return False
        if self.stale(start):
            with self.stats.lock:
                self.stats.stale_pages += 1
                self.stats.stale_unavailable += UNAVAILABLE in text or INVALID_INDEX in text
        elif UNAVAILABLE in text or INVALID_INDEX in text:
            self.fail("%s: page %s shows a value as unavailable or an invalid index" % (kind, name))
        else:
            with self.stats.lock:
                if self.reload.get("done") is not None:
                    self.stats.views_after_reload.add(name)
        self.stats.add("site_pages", name)
        self.page = (name, parse_page(text), start)
        sid = [c[2] for c in self.page[1].controls if c[1] == "sid"]
        if self.page[1].controls and sid != [self.sid]:
            self.fail("%s: page %s carries the session %r, not %r" % (kind, name, sid, self.sid))
        return True

    def sign_on(self):
        got = self.request("login page")
        if not got:
            return
        if got[0] != "login":
            self.fail("login page: got a %s page" % got[0])
            return
        fields = self.login_fields(parse_page(got[2]), wrong=self.rng.random() < 0.15)
        if fields is None:
            return
        if fields[5][1] != PASSWORD:
            got = self.request("sign-on, wrong password", body=encode_fields(fields))
            if not got:
                return
            if got[0] != "login" or "2. Versuch" not in got[2]:
                shown = re.search(r"[0-9]+\. Versuch", got[2])
                self.fail("wrong password: expected the second attempt, got a %s page (%s)"
                          % (got[0], shown.group(0) if shown else "no attempt shown"))
                return
            fields = self.login_fields(parse_page(got[2]), wrong=False)
            if fields is None:
                return
        got = self.request("sign-on", body=encode_fields(fields))
        if not got:
            return
        page = parse_page(got[2])
        sid = [c[2] for c in page.controls if c[1] == "sid"]
        if not sid or not re.fullmatch(r"[0-9]+", sid[0]):
            self.fail("sign-on: no session id in the answer (%s page)" % got[0])
            return
        self.sid = sid[0]
        with self.stats.lock:
            self.stats.held_sessions[self.addr] = self.sid
        self.expect_site_page(got, "Wohnen", "sign-on")

    def login_fields(self, page, wrong):
        fields = []
        for kind, name, value, _, _ in page.controls:
            if kind == "hidden":
                fields.append((name, value))
            elif name == "User":
                # A mistyped name of its own for each slip: the box counts
                # failures per user name too, and a name that never signs on
                # is never cleared, so a name reused for slips (or USER,
                # which all clients share) would run into its time lock.
                if wrong:
                    self.slips += 1
                fields.append((name, "%s-%s-%d" % (USER, self.name, self.slips) if wrong else USER))
            elif name == "Passw":
                fields.append((name, "falsch" if wrong else PASSWORD))
            elif kind == "submit":
                fields.append((name, value))
        if [f[0] for f in fields] != ["SP", "sitename", "sid", "signoncounter", "User",
                                      "Passw", "Signon"]:
            self.fail("login form has the fields %r" % [f[0] for f in fields])
            return None
        return fields

    def view(self):
        # Every page in turn, through the page's own navigation links.
        names = list(self.pages)
        name = names[self.next_page % len(names)]
        self.next_page += 1
        link = [l for l in self.page[1].links if ("sitename=%s&" % name) in l]
        if not link:
            self.fail("page %s has no link to %s" % (self.page[0], name))
            return
        query = link[0].split("?", 1)[1]
        got = self.request("page view", query=query)
        if got:
            self.session_page(got, name, "view of %s" % name)

    def session_page(self, got, name, kind):
        if got[0] == "login":
            self.fail("%s: session %s lost (login page)" % (kind, self.sid))
            self.forget_session()
        else:
            self.expect_site_page(got, name, kind)

    def forget_session(self):
        self.sid = None
        self.page = None
        with self.stats.lock:
            self.stats.held_sessions.pop(self.addr, None)

    def send_form(self):
        name, page, start = self.page
        info = self.pages[name]
        fields, changed, macros = [], 0, 0
        intended, intended_macros = set(), set()
        boxes = 0
        for kind, fname, value, options, label in page.controls:
            new = value
            if kind == "hidden":
                fields.append((fname, value))
            elif kind == "text":
                if self.rng.random() < 0.3:
                    pool = NUMBERS if fname.startswith("N") else TEXTS
                    new = self.rng.choice([v for v in pool if v != value])
                fields.append((fname, new))
            elif kind == "select":
                if self.rng.random() < 0.3:
                    new = self.rng.choice([o[0] for o in options if o[0] != value])
                fields.append((fname, new))
            elif kind == "checkbox":
                # The page's macro rows in the order of its file.
                if boxes < len(info["macros"]) and self.rng.random() < 0.1:
                    fields.append((fname, value))
                    intended_macros.add(info["macros"][boxes])
                    macros += 1
                boxes += 1
            elif kind == "submit":
                fields.append((fname, value))
            if kind in ("text", "select") and new != value:
                changed += 1
                variable = info["labels"].get(label)
                if variable is None:
                    self.fail("page %s: an input in the row %r, which the page has not" %
                              (name, label))
                # A number goes to the runtime bare, any other value in quotes.
                intended.add((variable, new if fname.startswith("N") else '"%s"' % new))
        stale = self.stale(start)
        action = page.action or ""
        query = action.split("?", 1)[1] if "?" in action else ""
        if not re.fullmatch(r"ST=[0-9]+-[0-9]+-[0-9]+", query):
            self.fail("page %s: the form's address %r carries no stamp" % (name, action))
        got = self.request("form send", query=query, body=encode_fields(fields))
        refused = bool(got) and got[0] == "site" and STALE_NOTICE in got[2]
        listed = got[2].count(CHANGED_NOTICE) if got and got[0] == "site" else 0
        if refused:   # checked against the last compile's time at the end
            with self.stats.lock:
                self.stats.refused_page_starts.append(
                    (time.time() - (time.monotonic() - start), name))
        if listed > changed:
            self.fail("form send on %s: %d rows listed as not written, %d changed"
                      % (name, listed, changed))
        with self.stats.lock:
            s = self.stats
            s.forms += 1
            s.forms_changed += changed > 0
            s.fields_changed += changed
            s.macros_ticked += macros
            s.stale_sent += stale
            s.intended |= intended
            s.intended_macros |= intended_macros
            if refused:   # nothing applied
                s.stale_refused += 1
            else:
                s.writes_max += changed - listed
                s.macros_max += macros
            if got and got[0] == "site" and not refused:
                s.writes_min += changed - listed
                s.macros_min += macros
                s.changed_listed += listed
        if not got:
            return
        if got[0] == "error" and stale:
            with self.stats.lock:
                self.stats.stale_errors += 1
            self.page = None
            return
        if got[0] == "error":
            self.fail("form send on %s: error page (%d changed fields)" % (name, changed))
            self.page = None
            return
        self.session_page(got, name, "form send on %s" % name)

    def sign_off(self):
        link = [l for l in self.page[1].links if "sitename=signoff&" in l]
        if not link:
            self.fail("page %s has no sign-off link" % self.page[0])
            return
        got = self.request("sign-off", query=link[0].split("?", 1)[1])
        if got and got[0] != "signoff":
            self.fail("sign-off: got a %s page" % got[0])
        self.forget_session()

    def run(self):
        try:
            while time.monotonic() < self.deadline:
                if self.sid is None or self.page is None:
                    if self.sid is not None:   # a form answered with an error page
                        got = self.request("page view", query="SP=%s&sitename=Wohnen&sid=%s"
                                           % (SITE, self.sid))
                        if got:
                            self.session_page(got, "Wohnen", "view of Wohnen")
                        continue
                    self.sign_on()
                    continue
                r = self.rng.random()
                if r < 0.05:
                    self.sign_off()
                elif r < 0.35 and self.pages[self.page[0]]["form"]:
                    self.send_form()
                else:
                    self.view()
        except Exception as e:  # a fault of the client itself must fail the run
            self.fail("client stopped: %r" % e)


# ---- the run and the checks -----------------------------------------------------

def call_log(path, offset):
    """Calls per method after offset, and the reads of other requests that the
    runtime answered between the first and the last index lookup (it answers
    one call at a time, so the log's order is the order of service)."""
    with open(path, "rb") as f:
        f.seek(offset)
        methods = [l.split("\t", 1)[0] for l in f.read().decode("latin-1").split("\n") if l]
    counts = {}
    for m in methods:
        counts[m] = counts.get(m, 0) + 1
    lookups = [i for i, m in enumerate(methods) if m in ("getvaridx", "getobjidx")]
    during = 0
    if lookups:
        during = sum(1 for m in methods[lookups[0]:lookups[-1]]
                     if m in ("getvarbyidx", "getvarbyname"))
    return counts, during


def misdirected(path, offset, reloads, projects, stats):
    """Writes and macro starts that reached another variable or macro than the
    page that sent them showed: each call's index is named by the numbering in
    force when the runtime logged it (projects[k] from the start of reload k
    (log offsets reloads[k - 1]) to the end of reload k + 1; during a reload
    either), and some client must have sent that name that value (or ticked
    that macro). Returns (count, examples)."""
    numberings = [project_indices(p) for p in projects]
    def in_force(at):
        return [k for k in range(len(numberings))
                if (k == 0 or at >= reloads[k - 1][0]) and
                (k == len(reloads) or at < reloads[k][1])]
    def names(table, index):
        return {n for n, i in table.items() if i == index}
    count, examples = 0, []
    with open(path, "rb") as f:
        f.seek(offset)
        data = f.read().decode("latin-1")
    pos = offset
    for line in data.split("\n"):
        at, pos = pos, pos + len(line) + 1
        f = line.split("\t")
        if f[0] == "setvarbyidx" and len(f) == 2 and "=" in f[1]:
            index, value = f[1].split("=", 1)
            table = 0
            intended = {n for n, v in stats.intended if v == value}
        elif f[0] == "startmacroidx" and len(f) == 2:
            index, value = f[1], None
            table = 1
            intended = stats.intended_macros
        else:
            continue
        if not index.isdigit():
            count += 1
            examples.append(line)
            continue
        candidates = set()
        for k in in_force(at):
            candidates |= names(numberings[k][table], int(index))
        # An index that names nothing is refused by the runtime: it lands nowhere.
        if candidates and not candidates & intended:
            count += 1
            examples.append("%s (names %s)" % (line, ", ".join(sorted(candidates))))
    return count, examples


def program_processes(box, lighttpd_pid):
    """Processes of the box's programs still alive (or unreaped by lighttpd)."""
    left = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            exe = os.readlink("/proc/%s/exe" % pid)
        except OSError:
            exe = ""
        try:
            with open("/proc/%s/stat" % pid) as f:
                stat = f.read()
        except OSError:
            continue
        comm = stat[stat.find("(") + 1:stat.rfind(")")]
        ppid = int(stat[stat.rfind(")") + 2:].split()[1])
        if (exe.startswith(box + "/") and os.path.basename(exe) in PROCESS_NAMES) or (
                ppid == lighttpd_pid and comm.startswith(("TelvarinServer", "TelvarinInterf"))):
            left.append("%s %s" % (pid, exe or comm))
    return left


def check_site_files(args, pages, failures):
    """Page files whole and compiled against the new numbering; no temporary files;
    the same bytes as one more Sheetmaker run gives."""
    variables, macros = project_indices(args.project)
    names = os.listdir(args.site_dir)
    for n in names:
        if n.endswith("_$"):
            fail(failures, "temporary file left: %s" % n)
    before = {}
    for name, info in pages.items():
        path = os.path.join(args.site_dir, "%s_%s.SHT" % (SITE, name))
        if not os.path.exists(path):
            fail(failures, "page file lost: %s" % path)
            continue
        data, lines = read_lines(path)
        before[path] = data
        if not data.endswith("\n") or len(lines) - 1 != len(info["lines"]):
            fail(failures, "page file %s: %d lines, expected %d" %
                 (name, len(lines) - 1, len(info["lines"])))
            continue
        for got, src in zip(lines, info["lines"]):
            want = src
            for key, table, field in (("OBJROW=", variables, 4), ("MACRO=", macros, 2)):
                if src.startswith(key):
                    f = src.split("@")
                    f[field] = str(table.get(f[0][len(key):].upper(), -1))
                    want = "@".join(f)
            if got != want:
                fail(failures, "page file %s: line %r, expected %r" % (name, got, want))
                break
    site_path = os.path.join(args.site_dir, SITE + ".TVS")
    site_data, _ = read_lines(site_path)
    with open(os.path.join(args.demo_site, SITE + ".TVS"), "rb") as f:
        if site_data != f.read().decode("latin-1").replace("\r", ""):
            fail(failures, "site definition file changed")
    # One more compile against the same numbering must change nothing.
    subprocess.run([os.path.join(args.site_dir, "Sheetmaker"), SITE], check=False)
    for path, data in before.items():
        if read_lines(path)[0] != data:
            fail(failures, "a final Sheetmaker run changes %s" % os.path.basename(path))


def check_sessions(args, stats, failures):
    held = {sid + addr.replace(".", "p") for addr, sid in stats.held_sessions.items()}
    found = set()
    for n in os.listdir(args.site_dir):
        if not n.endswith(".SID"):
            continue
        m = re.fullmatch(SITE + r"([0-9]+127p0p0p[0-9]+)\.SID", n)
        with open(os.path.join(args.site_dir, n), "rb") as f:
            content = f.read().decode("latin-1")
        if not m or not re.fullmatch(r"\d\d\.\d\d\.\d{4}/\d\d:\d\d:\d\d;" + USER, content):
            fail(failures, "session file not well formed: %s (%r)" % (n, content))
            continue
        found.add(m.group(1))
    for s in sorted(held - found):
        fail(failures, "session file lost: %s%s.SID" % (SITE, s))
    for s in sorted(found - held):
        fail(failures, "session file left after its sign-off: %s%s.SID" % (SITE, s))
    return len(found)


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(round(p / 100.0 * (len(values) - 1))))]


def main():
    ap = argparse.ArgumentParser()
    for name in ("--path", "--site-dir", "--demo-site", "--project", "--port-file",
                 "--calls-log", "--error-log", "--box", "--ablkrn"):
        ap.add_argument(name, required=True)
    for name in ("--port", "--runtime-pid", "--lighttpd-pid", "--seconds", "--clients"):
        ap.add_argument(name, type=int, required=True)
    ap.add_argument("--seed", type=int, default=int(time.time()))
    args = ap.parse_args()

    pages = demo_pages(args.demo_site)
    stats = Stats()
    failures = stats.failures
    site_path = os.path.join(args.site_dir, SITE + ".TVS")
    old_vars, _ = project_indices(args.project)
    old_project = args.project + ".before"
    with open(args.project, "rb") as src, open(old_project, "wb") as dst:
        dst.write(src.read())
    log_start = os.path.getsize(args.calls_log)
    tvs_before = os.stat(site_path).st_mtime_ns

    reload_state = {}
    began = time.monotonic()
    deadline = began + args.seconds
    clients = [Client(i, args, pages, stats, reload_state, deadline)
               for i in range(args.clients)]
    print("load: %d clients for %d s (seed %d)" % (args.clients, args.seconds, args.seed),
          flush=True)
    for c in clients:
        c.start()

    # Half way: renumber the project and reload the runtime; once that is
    # compiled, renumber it again within the compile's second (the project
    # file's time set to the site definition file's), which whole-second file
    # times cannot tell from the compile: the compile record must.
    time.sleep(max(0.0, began + args.seconds / 2.0 - time.monotonic()))
    projects = [old_project]
    reloads = []
    for number, name in enumerate(("GARTEN", "TERRASSE")):
        write_whole(args.project, renumbered_project(args.project, name))
        projects.append(args.project + ".%d" % (number + 1))
        with open(args.project, "rb") as src, open(projects[-1], "wb") as dst:
            dst.write(src.read())
        port_inode = os.stat(args.port_file).st_ino
        log_sent = os.path.getsize(args.calls_log)
        if number == 0:
            reload_state["sent"] = time.monotonic()
        sent = time.monotonic()
        os.kill(args.runtime_pid, signal.SIGHUP)
        while time.monotonic() < sent + 10:
            try:
                if os.stat(args.port_file).st_ino != port_inode:
                    break
            except FileNotFoundError:
                pass
            time.sleep(0.01)
        else:
            fail(failures, "the runtime did not reload within 10 s")
        reloads.append((log_sent, os.path.getsize(args.calls_log)))
        print("load: project renumbered at %.1f s; runtime reloaded in %.0f ms" %
              (sent - began, 1000 * (time.monotonic() - sent)), flush=True)
        if number == 1:
            break
        # The compile of the first renumbering: the site definition file rewritten.
        while time.monotonic() < sent + 10 and os.stat(site_path).st_mtime_ns <= tvs_before:
            time.sleep(0.005)
        compiled_ns = os.stat(site_path).st_mtime_ns
        if compiled_ns <= tvs_before:
            fail(failures, "the first renumbering was not compiled within 10 s")
    af = af_path(args.ablkrn)
    af_ns = os.stat(af).st_mtime_ns
    stats.same_second = af_ns // 10**9 == compiled_ns // 10**9
    os.utime(af, ns=(compiled_ns, compiled_ns))
    reload_state["done"] = time.monotonic()

    for c in clients:
        c.join()
    wall = time.monotonic() - began

    # No program process may outlive its request (allow a moment for the exits).
    left = []
    for _ in range(50):
        left = program_processes(args.box, args.lighttpd_pid)
        if not left:
            break
        time.sleep(0.1)
    for p in left:
        fail(failures, "process left behind: %s" % p)

    calls, reads_during_compile = call_log(args.calls_log, log_start)
    rows_per_compile = sum(1 for p in pages.values() for l in p["lines"]
                           if l.startswith(("OBJROW=", "MACRO=")))
    lookups = calls.get("getvaridx", 0) + calls.get("getobjidx", 0)
    compiles = lookups / float(rows_per_compile)
    compiled_at = os.stat(site_path).st_mtime_ns / 1e9
    in_flight = sum(1 for a, b in stats.spans if a <= compiled_at <= b)
    new_vars, _ = project_indices(args.project)
    if os.stat(site_path).st_mtime_ns <= tvs_before or lookups == 0:
        fail(failures, "no compile happened under load (site definition file not rewritten)")
    if lookups % rows_per_compile:
        fail(failures, "%d index lookups: not a whole number of compiles of %d rows"
             % (lookups, rows_per_compile))
    if old_vars == new_vars:
        fail(failures, "the project was not renumbered")
    if compiles < 2:
        fail(failures, "the renumbering in the compile's second was not compiled")
    missing = set(pages) - stats.views_after_reload
    if missing:
        fail(failures, "pages not shown after the compile: %s" % ", ".join(sorted(missing)))

    writes = calls.get("setvarbyidx", 0)
    if not stats.writes_min <= writes <= stats.writes_max:
        fail(failures, "the runtime saw %d writes; the clients changed %d fields (%d in forms "
             "answered with a page)" % (writes, stats.writes_max, stats.writes_min))
    starts = calls.get("startmacroidx", 0)
    if not stats.macros_min <= starts <= stats.macros_max:
        fail(failures, "the runtime saw %d macro starts; the clients ticked %d (%d answered "
             "with a page)" % (starts, stats.macros_max, stats.macros_min))

    astray, astray_examples = misdirected(
        args.calls_log, log_start, reloads, projects, stats)
    # File times lag the clock by up to a tick: a page begun that close to the
    # rewrite may have been read before it.
    for began, name in stats.refused_page_starts:
        if began > compiled_at + 0.05:
            fail(failures, "a form of %s was refused as stale, but its page began %.3f s after "
                 "the last compile" % (name, began - compiled_at))
    if astray:
        fail(failures, "%d writes or macro starts reached another variable or macro than "
             "their page showed, e.g. %s" % (astray, "; ".join(astray_examples[:3])))

    check_site_files(args, pages, failures)
    sessions = check_sessions(args, stats, failures)

    with open(args.error_log, "rb") as f:
        extra = [l for l in f.read().decode("latin-1").splitlines()
                 if "server started" not in l]
    for l in extra[:5]:
        fail(failures, "lighttpd's error log: %s" % l)

    # The counts.
    lat = [t for t, _ in stats.latencies]
    total = len(lat)
    print("\nrequests by kind:")
    for k in ("login page", "sign-on, wrong password", "sign-on", "page view", "form send",
              "sign-off"):
        print("  %-26s %6d" % (k, stats.requests.get(k, 0)))
    print("  %-26s %6d" % ("all", total))
    print("pages: %s" % ", ".join("%s %d" % (k, stats.pages.get(k, 0))
                                  for k in ("site", "login", "signoff", "error", "broken")))
    print("site pages: %s" % ", ".join("%s %d" % (k, stats.site_pages.get(k, 0)) for k in pages))
    errors = stats.pages.get("error", 0)
    print("errors: %d error pages (%d for forms of pages shown before the renumbering, "
          "allowed; %d elsewhere)" % (errors, stats.stale_errors, errors - stats.stale_errors))
    print("reload: %d site pages began before it ended (%d of them with an unavailable "
          "value or invalid index, allowed); %d forms sent from such pages"
          % (stats.stale_pages, stats.stale_unavailable, stats.stale_sent))
    print("second renumbering: the runtime touched the project file in the compile's second: "
          "%s; its time then set to the compile's" % ("yes" if stats.same_second else "no"))
    print("forms refused as stale (their page came before a compile): %d" % stats.stale_refused)
    print("writes to another variable (or starts of another macro) than the page showed: %d"
          % astray)
    print("changed fields not written, changed since shown: %d" % stats.changed_listed)
    print("form sends: %d (%d with changes: %d fields; %d macros ticked)"
          % (stats.forms, stats.forms_changed, stats.fields_changed, stats.macros_ticked))
    print("runtime saw: %d writes (setvarbyidx), %d macro starts, %d value reads"
          % (writes, starts, calls.get("getvarbyidx", 0) + calls.get("getvarbyname", 0)))
    print("compiles under load: %g (%d index lookups, %d per compile; %d value reads of "
          "other requests between the first and the last lookup; %d requests in flight "
          "as the site definition file was rewritten)"
          % (compiles, lookups, rows_per_compile, reads_during_compile, in_flight))
    print("session files at the end: %d (clients still signed on: %d)"
          % (sessions, len(stats.held_sessions)))
    if total:
        slowest = max(stats.latencies)
        print("throughput: %.1f requests/s over %.1f s" % (total / wall, wall))
        print("latency: median %.1f ms, p95 %.1f ms, max %.1f ms (%s)"
              % (1000 * statistics.median(lat), 1000 * percentile(lat, 95),
                 1000 * slowest[0], slowest[1]))
    if failures:
        print()
        for f in failures[:40]:
            print("FAIL: " + f)
        if len(failures) > 40:
            print("FAIL: ... and %d more" % (len(failures) - 40))
        return 1
    print("\nload test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
