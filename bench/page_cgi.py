#!/usr/bin/python3
# page_cgi.py: the same N-call page written as a Python CGI, what a user might
# write instead of TelvarinServer: xmlrpc.client with a new connection per call,
# then the page. Benchmark only. It reads the same plan and page files as
# floor_cgi.cc, beside its own file, named by QUERY_STRING (or argv[1]):
#   bench-NAME.plan  line 1 "host port"; then per call: method, TAB-separated
#                    parameters "i:<int>" or "s:<text>"
#   bench-NAME.page  the bytes written to standard output
import os
import sys
import xmlrpc.client


def main():
    name = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("QUERY_STRING", "")
    here = os.path.dirname(os.path.abspath(sys.argv[0]))
    with open(os.path.join(here, "bench-%s.plan" % name), "rb") as f:
        lines = f.read().decode("latin-1").split("\n")
    host, port = lines[0].split(" ")
    url = "http://%s:%s/RPC2" % (host, port)
    for line in lines[1:]:
        if not line:
            continue
        fields = line.split("\t")
        params = [int(p[2:]) if p.startswith("i:") else p[2:] for p in fields[1:]]
        with xmlrpc.client.ServerProxy(url) as proxy:  # one connection per call
            getattr(proxy, fields[0])(*params)
    with open(os.path.join(here, "bench-%s.page" % name), "rb") as f:
        sys.stdout.buffer.write(f.read())
    sys.stdout.buffer.flush()


if __name__ == "__main__":
    main()
