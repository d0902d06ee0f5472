"""An SSH server (paramiko) for one connection on standard input, for the
password logins that sshd cannot check unless it runs as root. It takes one
account by password or by keyboard-interactive, as METHOD says, refuses every
public key, appends the name of each authentication method tried to LOG, and
runs OpenSSH's sftp-server as the "sftp" subsystem.

    ssh_password_peer.py HOST_KEY USER PASSWORD METHOD LOG SFTP_SERVER
"""
import socket
import subprocess
import sys
import threading

import paramiko

host_key, user, password, method, log, server_path = sys.argv[1:7]


def record(tried):
    with open(log, "a") as attempts:
        attempts.write(tried + "\n")


class Server(paramiko.ServerInterface):
    def get_allowed_auths(self, username):
        return "publickey," + method

    def check_auth_publickey(self, username, key):
        record("publickey")
        return paramiko.AUTH_FAILED

    def check_auth_password(self, username, offered):
        record("password")
        return paramiko.AUTH_SUCCESSFUL if (username, offered) == (user, password) else paramiko.AUTH_FAILED

    def check_auth_interactive(self, username, submethods):
        record("keyboard-interactive")
        return paramiko.InteractiveQuery("", "", ("Password: ", False))

    def check_auth_interactive_response(self, responses):
        return paramiko.AUTH_SUCCESSFUL if list(responses) == [password] else paramiko.AUTH_FAILED

    def check_channel_request(self, kind, chanid):
        return paramiko.OPEN_SUCCEEDED if kind == "session" else paramiko.OPEN_FAILED_ADMINISTRATIVELY_PROHIBITED

    def check_channel_subsystem_request(self, channel, name):
        if name != "sftp":
            return False
        threading.Thread(target=serve_sftp, args=(channel,), daemon=True).start()
        return True


def serve_sftp(channel):
    server = subprocess.Popen([server_path], stdin=subprocess.PIPE, stdout=subprocess.PIPE)

    def to_server():
        while data := channel.recv(65536):
            server.stdin.write(data)
            server.stdin.flush()
        server.stdin.close()

    threading.Thread(target=to_server, daemon=True).start()
    while data := server.stdout.read1(65536):
        channel.sendall(data)
    channel.close()


transport = paramiko.Transport(socket.socket(fileno=0))
transport.add_server_key(paramiko.Ed25519Key.from_private_key_file(host_key))
transport.start_server(server=Server())
transport.join()
