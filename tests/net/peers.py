#!/usr/bin/env python3
"""Loopback peers for the network tests.

    peers.py STATUSFILE KIND [--user U --password P] [--lifetime SECONDS]

KIND is http (the scripted server below), socks4 (a scripted SOCKS 4/4A proxy), tinyproxy, danted, microsocks
or stall (listening sockets that never complete a connection). The peer listens on a free
port of 127.0.0.1; once it accepts connections, "PORT PID" is written to STATUSFILE, where
PID is the process to stop (SIGTERM). A peer ends by itself after its lifetime so that a
crashed test leaves nothing behind.

    peers.py STATUSFILE stall --port PORT --addresses 127.0.0.2,127.0.0.3

listens on PORT of each address with a full accept queue: the kernel drops further
connection requests, so a client's connect waits as for a host that does not answer.
"""
import argparse
import os
import shutil
import signal
import socket
import socketserver
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_listening(port, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def write_status(path, port):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d %d\n" % (port, os.getpid()))
    os.replace(tmp, path)


# --- the scripted HTTP server -------------------------------------------------

def reply(status, body, headers=(), version="HTTP/1.1"):
    head = "%s %s\r\n" % (version, status)
    for h in headers:
        head += h + "\r\n"
    return head.encode("latin-1") + b"\r\n" + body


class Handler(socketserver.BaseRequestHandler):
    scripted = {}  # path -> reply, set through /script
    lock = threading.Lock()

    def read_head(self):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = self.request.recv(4096)
            if not chunk:
                return None
            data += chunk
        return data.split(b"\r\n\r\n", 1)[0]

    def handle(self):
        head = self.read_head()
        if head is None:
            return
        target = head.split(b"\r\n", 1)[0].split(b" ")[1].decode("latin-1")
        url = urllib.parse.urlsplit(target)
        query = dict(urllib.parse.parse_qsl(url.query))
        send = self.request.sendall
        path = url.path
        try:
            with Handler.lock:
                scripted = Handler.scripted.get(path)
            if scripted is not None:
                send(scripted)
            elif path == "/script":
                # the reply for another path: body, type and status as for /text
                body = query.get("body", "").encode("utf-8")
                headers = ["Content-Length: %d" % len(body)]
                if "type" in query:
                    headers.append("Content-Type: " + query["type"])
                with Handler.lock:
                    Handler.scripted[query["path"]] = reply(query.get("status", "200 OK"), body, headers)
                send(reply("200 OK", b"", ["Content-Length: 0"]))
            elif path == "/text":
                # body, type and status from the query; Content-Length framing
                body = query.get("body", "").encode(query.get("encoding", "utf-8"))
                headers = ["Content-Length: %d" % len(body)]
                if "type" in query:
                    headers.append("Content-Type: " + query["type"])
                send(reply(query.get("status", "200 OK"), body, headers))
            elif path == "/echo":
                # the request as received, so that tests can check what was sent
                send(reply("200 OK", head, ["Content-Type: text/plain", "Content-Length: %d" % len(head)]))
            elif path == "/chunked":
                parts = query.get("parts", "Hello, |chunked |world").split("|")
                body = b"".join(b"%x;ext=1\r\n%s\r\n" % (len(p), p.encode()) for p in parts if p)
                send(reply("200 OK", body + b"0\r\nX-Trailer: yes\r\n\r\n",
                           ["Transfer-Encoding: chunked", "Content-Type: text/plain; charset=utf-8"]))
            elif path == "/close":
                send(reply("200 OK", query.get("body", "").encode(), ["Content-Type: text/plain"], "HTTP/1.0"))
            elif path == "/continue":
                send(b"HTTP/1.1 100 Continue\r\n\r\n")
                send(reply("200 OK", b"after interim", ["Content-Length: 13"]))
            elif path == "/truncated":
                send(reply("200 OK", b"0123456789", ["Content-Length: 100"]))
            elif path == "/silent":
                time.sleep(float(query.get("seconds", "30")))
            elif path == "/slow":
                # the first half, a pause, the rest
                send(reply("200 OK", b"slow ", ["Content-Length: 9"]))
                time.sleep(float(query.get("pause", "0.3")))
                send(b"body")
            elif path == "/trickle":
                # a byte of header now and then, never enough for a read time-out
                send(b"HTTP/1.1 200 OK\r\nX-Slow: ")
                while True:
                    time.sleep(0.1)
                    send(b"a")
            elif path == "/endless-header":
                send(b"HTTP/1.1 200 OK\r\n")
                line = b"X-Filler: " + b"a" * 1000 + b"\r\n"
                while True:
                    send(line)
            elif path == "/huge":
                size = int(query.get("size", "10000000"))
                framing = [] if "close" in query else ["Content-Length: %d" % size]
                send(reply("200 OK", b"", framing))
                block = b"x" * 65536
                while True:
                    send(block)
            else:
                send(reply("404 Not Found", b"no such page", ["Content-Length: 12"]))
        except OSError:
            pass  # the client went away, as the tests of limits expect


# --- addresses that never answer ------------------------------------------------

def run_stall(args):
    listeners, fillers = [], []
    for address in args.addresses.split(","):
        s = socket.socket()
        s.bind((address, args.port))
        s.listen(0)
        listeners.append(s)
        # Fill the accept queue; once it is full, connection requests go unanswered.
        for _ in range(3):
            c = socket.socket()
            c.setblocking(False)
            try:
                c.connect((address, args.port))
            except BlockingIOError:
                pass
            fillers.append(c)
    time.sleep(0.2)
    write_status(args.status, args.port)
    time.sleep(args.lifetime)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


class Socks4Handler(socketserver.BaseRequestHandler):
    """SOCKS 4 and 4A (RFC-less, the de-facto protocol): CONNECT only, then relay."""

    def read_until_nul(self, sock):
        data = b""
        while not data.endswith(b"\0"):
            c = sock.recv(1)
            if not c:
                raise OSError("closed")
            data += c
        return data[:-1]

    def handle(self):
        c = self.request
        try:
            head = b""
            while len(head) < 8:
                part = c.recv(8 - len(head))
                if not part:
                    return
                head += part
            if head[0] != 4 or head[1] != 1:
                c.sendall(b"\0\x5b" + b"\0" * 6)
                return
            port = int.from_bytes(head[2:4], "big")
            self.read_until_nul(c)  # user id
            if head[4:7] == b"\0\0\0" and head[7] != 0:
                host = self.read_until_nul(c).decode()
            else:
                host = socket.inet_ntoa(head[4:8])
            if host not in ("127.0.0.1", "localhost"):
                c.sendall(b"\0\x5b" + b"\0" * 6)  # loopback only
                return
            target = socket.create_connection((host, port), timeout=5)
        except OSError:
            try:
                c.sendall(b"\0\x5b" + b"\0" * 6)
            except OSError:
                pass
            return
        c.sendall(b"\0\x5a" + b"\0" * 6)
        relay(c, target)


def relay(a, b):
    def pump(src, dst):
        try:
            while True:
                data = src.recv(65536)
                if not data:
                    break
                dst.sendall(data)
        except OSError:
            pass
        try:
            dst.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    t = threading.Thread(target=pump, args=(b, a), daemon=True)
    t.start()
    pump(a, b)
    t.join()
    b.close()


def run_http(args):
    server = Server(("127.0.0.1", 0), Socks4Handler if args.kind == "socks4" else Handler)
    write_status(args.status, server.server_address[1])
    server.serve_forever()


# --- peers from Debian's packages ---------------------------------------------

class Stop(Exception):
    pass


def raise_stop(*_):
    raise Stop()


def run_child(args, command, port, workdir):
    signal.signal(signal.SIGTERM, raise_stop)
    deadline = time.time() + args.lifetime
    log = os.path.join(workdir, "stderr.log")
    child = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=open(log, "wb"))
    try:
        if not wait_listening(port):
            sys.stderr.write(open(log).read())
            return
        write_status(args.status, port)
        while child.poll() is None and time.time() < deadline:
            time.sleep(0.1)
    except Stop:
        pass
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        if os.environ.get("TV_PEER_LOG"):
            sys.stderr.write(open(log).read())
        child.terminate()
        try:
            child.wait(5)
        except subprocess.TimeoutExpired:
            child.kill()
            child.wait()
        shutil.rmtree(workdir, ignore_errors=True)


def run_tinyproxy(args, port, workdir):
    conf = ["Port %d" % port, "Listen 127.0.0.1", "Allow 127.0.0.1", "Timeout 30",
            "MaxClients 20", "LogLevel Error", "ViaProxyName \"tvtest\""]
    if os.getuid() == 0:
        conf += ["User nobody", "Group nogroup"]
    if args.user:
        conf.append("BasicAuth %s %s" % (args.user, args.password))
    path = os.path.join(workdir, "tinyproxy.conf")
    with open(path, "w") as f:
        f.write("\n".join(conf) + "\n")
    run_child(args, ["tinyproxy", "-d", "-c", path], port, workdir)


def run_danted(args, port, workdir):
    conf = """logoutput: stderr
internal: 127.0.0.1 port = %d
external: 127.0.0.1
clientmethod: none
socksmethod: none
user.privileged: root
user.unprivileged: nobody
client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }
socks pass { from: 127.0.0.0/8 to: 127.0.0.0/8 protocol: tcp }
""" % port
    path = os.path.join(workdir, "danted.conf")
    with open(path, "w") as f:
        f.write(conf)
    run_child(args, ["danted", "-f", path, "-N", "1"], port, workdir)


def run_microsocks(args, port, workdir):
    command = ["microsocks", "-i", "127.0.0.1", "-p", str(port)]
    if args.user:
        command += ["-u", args.user, "-P", args.password]
    run_child(args, command, port, workdir)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("status")
    p.add_argument("kind", choices=["http", "socks4", "tinyproxy", "danted", "microsocks", "stall"])
    p.add_argument("--user", default="")
    p.add_argument("--password", default="")
    p.add_argument("--lifetime", type=float, default=300)
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--addresses", default="127.0.0.2")
    args = p.parse_args()
    if args.kind == "stall":
        run_stall(args)
        return
    if args.kind in ("http", "socks4"):
        threading.Timer(args.lifetime, lambda: os._exit(0)).start()
        run_http(args)
        return
    if shutil.which(args.kind) is None:
        sys.exit("%s is not installed" % args.kind)
    workdir = tempfile.mkdtemp(prefix="tvpeer")
    os.chmod(workdir, 0o755)
    port = free_port()
    {"tinyproxy": run_tinyproxy, "danted": run_danted, "microsocks": run_microsocks}[args.kind](args, port, workdir)


if __name__ == "__main__":
    main()
