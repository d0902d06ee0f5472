// What an FTPS session pays for its TLS context: one connect, AUTH TLS,
// login and QUIT against vsftpd on loopback, with the process's shared
// context and with a context made afresh for the session (as every
// connection did before the contexts were shared), and the making of a
// context alone (the system's trust store and the site's CA file).
//   tls_connect_bench [sessions]   (default 40)

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "ftp/ftp_client.h"
#include "support/real_ftp_server.h"
#include "support/temp_dir.h"
#include "support/test_certificates.h"

namespace {

using Clock = std::chrono::steady_clock;

// The best of `runs` of `work`, in milliseconds: a load spike decides nothing.
double BestMs(int runs, const std::function<void()>& work) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return best;
}

// A new modification time makes the next Shared() make a fresh context.
void Touch(const std::string& file) {
  static long long second = 1;
  const timespec times[2] = {{second, 0}, {second, 0}};
  ++second;
  utimensat(AT_FDCWD, file.c_str(), times, 0);
}

}  // namespace

int main(int argc, char** argv) {
  const int sessions = argc > 1 ? std::stoi(argv[1]) : 40;
  const test::TestCertificates certificates;
  const test::TempDir dir;
  const std::string caFile = dir.Write("ca.pem", test::ReadFile(certificates.CaFile())).string();
  const test::RealFtpServer server(test::RealServerKind::Vsftpd,
                                   {.tls = certificates.Files(test::TestCertificate::Server)});
  const auto session = [&] {
    ftp::TFtpClient client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.UserID = server.User();
    client.Password = server.Password();
    client.TimeOut = 5000;
    client.TlsMode = ftp::TTlsMode::Explicit;
    client.TlsCaFiles = {caFile};
    client.Connect();
    client.Disconnect();
  };
  double shared = 1e9, fresh = 1e9;
  for (int i = 0; i < 2; ++i) {
    shared = std::min(shared, BestMs(sessions, session));
    fresh = std::min(fresh, BestMs(sessions, [&] {
                       Touch(caFile);
                       session();
                     }));
  }
  const double context = BestMs(sessions, [&] { ftp::TTlsContext made({.caFiles = {caFile}}); });
  std::printf("ftps session (connect, AUTH TLS, login, QUIT): %.2f ms (%.2f x a context per session)\n", shared,
              shared / fresh);
  std::printf("ftps context made afresh: %.2f ms (%.2f x a session with a shared context)\n", context,
              context / shared);
  return 0;
}
