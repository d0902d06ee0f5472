"""An SFTP subsystem for sshd that runs OpenSSH's sftp-server and departs
from it as the mode given says, for what a real server will not do on demand:

  stall        stops answering once 1 MiB of requests came in (it goes on
               reading, so the connection stays alive, but nothing returns)
  silent       never answers, not even the version
  huge-reply   answers the version with a packet header of 2 GiB
  wrong-size   reports every file one byte shorter than it is
  check-file   offers the check-file extension and answers it truly
  wrong-digest offers check-file and answers with a false digest

    sftp_quirks.py MODE SFTP_SERVER
"""
import hashlib
import struct
import subprocess
import sys
import threading

STALL_AFTER = 1 << 20
VERSION, EXTENDED, EXTENDED_REPLY, ATTRS = 2, 200, 201, 105

mode, server_path = sys.argv[1:3]
server = subprocess.Popen([server_path], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
to_client = sys.stdout.buffer
to_client_lock = threading.Lock()


def packets(stream):
    # A buffered read returns short only at the end of the stream.
    while len(header := stream.read(4)) == 4:
        length = struct.unpack(">I", header)[0]
        body = stream.read(length)
        if len(body) < length:
            return
        yield body


def string(text):
    return struct.pack(">I", len(text)) + text


def send_to_client(body, length=None):
    with to_client_lock:
        to_client.write(struct.pack(">I", len(body) if length is None else length) + body)
        to_client.flush()


def answer_check_file(body):
    request_id = body[1:5]
    at = 5 + 4 + len(b"check-file-name")
    length = struct.unpack(">I", body[at:at + 4])[0]
    path = body[at + 4:at + 4 + length]
    with open(path, "rb") as stored:
        digest = hashlib.sha256(stored.read()).digest()
    if mode == "wrong-digest":
        digest = bytes([digest[0] ^ 1]) + digest[1:]
    send_to_client(bytes([EXTENDED_REPLY]) + request_id + string(b"check-file") + string(b"sha256") + digest)


def from_client():
    received = 0
    for body in packets(sys.stdin.buffer):
        received += len(body) + 4
        if mode == "silent" or (mode == "stall" and received > STALL_AFTER):
            continue
        if body[0] == EXTENDED and body[5:9 + len(b"check-file-name")] == string(b"check-file-name"):
            answer_check_file(body)
            continue
        server.stdin.write(struct.pack(">I", len(body)) + body)
        server.stdin.flush()
    server.stdin.close()


def from_server():
    for body in packets(server.stdout):
        if mode == "silent":
            continue
        if body[0] == VERSION and mode == "huge-reply":
            send_to_client(body, length=1 << 31)
            continue
        if body[0] == VERSION and mode in ("check-file", "wrong-digest"):
            body += string(b"check-file") + string(b"sha256,md5")
        if body[0] == ATTRS and mode == "wrong-size" and struct.unpack(">I", body[5:9])[0] & 1:
            size = struct.unpack(">Q", body[9:17])[0]
            body = body[:9] + struct.pack(">Q", max(size - 1, 0)) + body[17:]
        send_to_client(body)


threading.Thread(target=from_server, daemon=True).start()
from_client()
