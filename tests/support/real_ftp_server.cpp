#include "support/real_ftp_server.h"

#include <stdexcept>

namespace test {
namespace {

constexpr const char* kPyftpdlibMain = R"(
import logging, sys, threading
from OpenSSL import SSL
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer, ThreadedFTPServer
root, user, password, read_limit, quirk, address, first_port, last_port, implicit, client_ca, second_user = sys.argv[1:12]
class CutDTPHandler(TLS_DTPHandler):
    def close(self):
        self._error = True  # closes the socket without the TLS shutdown
        super().close()
class ImplicitTLSHandler(TLS_FTPHandler):
    def handle(self):
        self.secure_connection(self.ssl_context)  # the greeting waits for the handshake
        super().handle()
handler = FTPHandler
if len(sys.argv) > 12:
    handler = ImplicitTLSHandler if implicit == "yes" else TLS_FTPHandler
    handler.certfile, handler.keyfile = sys.argv[12:14]
    handler.tls_control_required = quirk != "PlainClientsToo"
    handler.tls_data_required = quirk != "PlainClientsToo"
    if quirk == "PlainDataConnections":
        handler.dtp_handler = DTPHandler
    if quirk == "DataWithoutCloseNotify":
        handler.dtp_handler = CutDTPHandler
    if client_ca != "-":
        context = handler.get_ssl_context()
        context.load_verify_locations(client_ca)
        context.set_verify(SSL.VERIFY_PEER | SSL.VERIFY_FAIL_IF_NO_PEER_CERT, lambda *args: args[-1])
        context.set_session_id(b"parcelo-test")  # data connections resume the control's session
if int(first_port):
    handler.passive_ports = range(int(first_port), int(last_port) + 1)
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, root, perm="elradfmwMT")
authorizer.override_perm(user, root + "/locked", perm="elr", recursive=True)
if second_user != "-":
    authorizer.add_user(second_user, password, root + "/" + second_user, perm="elradfmwMT")
handler.authorizer = authorizer
# Sessions are threads of one process, and CWD enters the folder and returns
# to the one it found: two at once can leave the process in a session's
# folder, and once a test removes that folder every later CWD fails and
# drops its session. One CWD at a time always returns to the root.
cwd_lock = threading.RLock()
def one_at_a_time(cwd):
    def ftp_CWD(self, path):
        with cwd_lock:
            return cwd(self, path)
    return ftp_CWD
handler.ftp_CWD = one_at_a_time(handler.ftp_CWD)
handler.auth_failed_timeout = 0.001
if int(read_limit):
    ThrottledDTPHandler.read_limit = int(read_limit)
    handler.dtp_handler = ThrottledDTPHandler
logging.basicConfig(level=logging.CRITICAL)
# A session of its own loop each: with one loop for all, an active-mode data
# connection opened while another session closes its own is sometimes never
# seen to connect, and its PORT goes unanswered. The implicit-TLS greeting
# starts its handshake before a session could move to its own loop.
server = (FTPServer if implicit == "yes" else ThreadedFTPServer)((address, 0), handler)
print(server.address[1], flush=True)
server.serve_forever()
)";

const char* QuirkName(FtpsQuirk quirk) {
  switch (quirk) {
    case FtpsQuirk::None: return "None";
    case FtpsQuirk::PlainClientsToo: return "PlainClientsToo";
    case FtpsQuirk::PlainDataConnections: return "PlainDataConnections";
    case FtpsQuirk::DataWithoutCloseNotify: return "DataWithoutCloseNotify";
  }
  return "None";
}

}  // namespace

RealFtpServer::RealFtpServer(RealServerKind kind, RealServerOptions options)
    : kind_(kind), options_(std::move(options)) {
  if (kind == RealServerKind::Pyftpdlib)
    StartPyftpdlib();
  else if (options_.readLimit == 0 && options_.quirk == FtpsQuirk::None && options_.secondUser.empty())
    StartVsftpd();
  else
    throw std::runtime_error("vsftpd here is neither throttled nor broken and has one account");
}

void RealFtpServer::StartPyftpdlib() {
  user_ = "parcelo";
  loginDir_ = tree_.Path();
  std::filesystem::create_directories(loginDir_ / "locked");
  if (!options_.secondUser.empty()) std::filesystem::create_directories(loginDir_ / options_.secondUser);
  std::vector<std::string> command{"/usr/bin/python3", "-c", kPyftpdlibMain, ServerPath(loginDir_), user_,
                                   password_, std::to_string(options_.readLimit), QuirkName(options_.quirk),
                                   options_.address, std::to_string(options_.passivePorts.first),
                                   std::to_string(options_.passivePorts.second), options_.implicitTls ? "yes" : "no",
                                   options_.clientCa ? ServerPath(*options_.clientCa) : "-",
                                   options_.secondUser.empty() ? "-" : options_.secondUser};
  if (options_.tls)
    command.insert(command.end(), {ServerPath(options_.tls->certificate), ServerPath(options_.tls->key)});
  port_ = Launch(command);
}

void RealFtpServer::StartVsftpd() {
  user_ = "anonymous";
  loginDir_ = tree_.Path() / "srv" / "ftp" / "pub";
  WriteFile(loginDir_ / "locked", "");
  const auto passwords = state_.Path() / "passwords";
  WriteFile(passwords, password_ + "\n");
  const auto config = state_.Path() / "vsftpd.conf";
  WriteFile(config,
            "listen=NO\n"
            "listen_ipv6=NO\n"
            "run_as_launching_user=YES\n"
            "anonymous_enable=YES\n"
            "local_enable=NO\n"
            "anon_root=" + ServerPath(loginDir_) + "\n"
            "secure_email_list_enable=YES\n"
            "email_password_file=" + ServerPath(passwords) + "\n"
            "write_enable=YES\n"
            "anon_upload_enable=YES\n"
            "anon_mkdir_write_enable=YES\n"
            "anon_other_write_enable=YES\n"
            "anon_umask=022\n"
            "allow_writeable_chroot=YES\n"
            "pasv_enable=YES\n"
            "port_enable=YES\n"
            "connect_from_port_20=NO\n"
            "seccomp_sandbox=NO\n"
            "delay_failed_login=0\n"
            "dirmessage_enable=NO\n"
            "xferlog_enable=NO\n" +
            (options_.passivePorts.first ? "pasv_min_port=" + std::to_string(options_.passivePorts.first) +
                                               "\npasv_max_port=" + std::to_string(options_.passivePorts.second) + "\n"
                                         : std::string()) +
            VsftpdTlsSettings());
  port_ = LaunchInetd({"vsftpd", ServerPath(config)});
}

// The force_local_* settings bind local users only; the launcher's account
// is anonymous, which the force_anon_* settings bind.
std::string RealFtpServer::VsftpdTlsSettings() const {
  if (!options_.tls) return {};
  const std::string clientCertificates =
      options_.clientCa ? "require_cert=YES\nvalidate_cert=YES\nca_certs_file=" + ServerPath(*options_.clientCa) + "\n"
                        : "";
  return clientCertificates + (options_.implicitTls ? "implicit_ssl=YES\n" : "") +
         "ssl_enable=YES\n"
         "allow_anon_ssl=YES\n"
         "force_anon_logins_ssl=YES\n"
         "force_anon_data_ssl=YES\n"
         "force_local_logins_ssl=YES\n"
         "force_local_data_ssl=YES\n"
         "require_ssl_reuse=YES\n"
         "ssl_ciphers=HIGH\n"
         "rsa_cert_file=" + ServerPath(options_.tls->certificate) + "\n"
         "rsa_private_key_file=" + ServerPath(options_.tls->key) + "\n";
}

}  // namespace test
