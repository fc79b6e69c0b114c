#!/usr/bin/python3
"""FTP server on 127.0.0.1 for the updater tests. Prints "PORT <n>" once it listens.

  ftp_server.py ROOT            anonymous read-only server of the folder ROOT
  ftp_server.py ROOT --hostile  listings of /FTP-1seg/UPDATE and its 2.0 folder carry names no
                                client may use; SIZE of 2.0/setup.bin announces 10 bytes
  ftp_server.py ROOT --endless  the listing of /FTP-1seg/UPDATE never ends
  ftp_server.py ROOT --slow     sends files at 256 KB/s
  ftp_server.py - --refuse      answers every connection with 421 and closes it; prints
                                "CONN" for each
  ftp_server.py - --silent      accepts connections and never says a word; "CONN" for each
"""
import socket
import sys

root, mode = sys.argv[1], (sys.argv[2] if len(sys.argv) > 2 else "")

if mode in ("--refuse", "--silent"):
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    s.listen(8)
    print("PORT", s.getsockname()[1], flush=True)
    held = []
    while True:
        c, _ = s.accept()
        print("CONN", flush=True)
        if mode == "--silent":
            held.append(c)
            continue
        c.sendall(b"421 Service not available, closing control connection.\r\n")
        c.close()

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

LINE = "%s 1 owner group %8d Jan 01 12:00 %s\r\n"


class ListingFS(AbstractedFS):
    def format_list(self, basedir, listing, ignore_err=True):
        folder = self.fs2ftp(basedir).rstrip("/")
        if mode == "--hostile" and folder == "/FTP-1seg/UPDATE":
            names = ["../x", "a/b", "z" * 4096, ".hidden", "2.0", "bad\x01name"]
            return iter([(LINE % ("drwxr-xr-x", 0, n)).encode() for n in names])
        if mode == "--hostile" and folder == "/FTP-1seg/UPDATE/2.0":
            names = ["../evil.bin", "a/b", "y" * 4096, ".profile", "setup.bin"]
            return iter([(LINE % ("-rw-r--r--", 1, n)).encode() for n in names])
        if mode == "--endless" and folder == "/FTP-1seg/UPDATE":
            def forever():
                i = 0
                while True:
                    i += 1
                    yield (LINE % ("drwxr-xr-x", 0, "%d.0" % i)).encode()
            return forever()
        return AbstractedFS.format_list(self, basedir, listing, ignore_err)


class Handler(FTPHandler):
    abstracted_fs = ListingFS

    def ftp_SIZE(self, path):
        if mode == "--hostile" and path.endswith("/2.0/setup.bin"):
            self.respond("213 10")
            return
        return FTPHandler.ftp_SIZE(self, path)


if mode == "--slow":
    ThrottledDTPHandler.write_limit = 256 * 1024
    Handler.dtp_handler = ThrottledDTPHandler

authorizer = DummyAuthorizer()
authorizer.add_anonymous(root)
Handler.authorizer = authorizer
Handler.banner = "kobal test server ready"
server = FTPServer(("127.0.0.1", 0), Handler)
print("PORT", server.socket.getsockname()[1], flush=True)
server.serve_forever(handle_exit=True)
