"""The demo site's FTP server: pyftpdlib on 127.0.0.1 at a free port.

Serves ROOT to one account with full rights. Prints the port on the first
line of standard output once it listens, then serves until terminated.
Given a certificate and its key, it also speaks explicit FTPS (AUTH TLS) to
the clients that ask for it; the others stay on plain FTP.
    demo_ftp_server.py ROOT USER PASSWORD [CERTFILE KEYFILE]
"""
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    root, user, password = sys.argv[1:4]
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler = FTPHandler
    if len(sys.argv) > 5:
        handler = TLS_FTPHandler
        handler.certfile, handler.keyfile = sys.argv[4:6]
    handler.authorizer = authorizer
    handler.banner = "Parcelo demo site ready"
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
