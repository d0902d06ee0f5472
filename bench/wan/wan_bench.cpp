// Parcelo over a simulated wide-area network (DelayProxy) against curl on
// the same servers, in the same run. Prints "measure: figure" lines:
//   - round trips of one upload session (plain, FTPS; pyftpdlib, vsftpd) and
//     of the start-up refresh, counted as (wall time at RTT - wall time at no
//     delay) / RTT, the best of some runs each;
//   - wall time for 1, 5 and 10 targets: Parcelo unattended (as set, and 10
//     targets with -parallel 10), curl in a loop, curl in parallel;
//   - 50 MB at a rate cap: one upload session of Parcelo's FTP client and of curl.
//   wan_bench PARCELO-BINARY SOURCE-DIR [RTT-MS]

#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/send_samples.h"
#include "delay_proxy.h"
#include "ftp/ftp_client.h"
#include "support/real_ftp_server.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/test_certificates.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using test::RealServerKind;

constexpr int kRuns = 3;
constexpr int kMaxTargets = 10;
// The proxy mirrors the servers' passive ports (for FTPS, whose replies it cannot read).
constexpr std::uint16_t kPassiveCount = 40;
// The server sits on another loopback address than the proxy, so that the
// proxy can take the server's passive port numbers on 127.0.0.1.
constexpr const char* kServerAddress = "127.0.0.2";

struct Settings {
  fs::path parcelo;
  fs::path source;
  std::chrono::milliseconds rtt{100};
};

double Seconds(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs `argv` with `environment` changed (an empty value removes a
// variable); exits with its output on a failure unless `mayFail`.
void Run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
         bool mayFail = false) {
  const test::ProgramResult result = test::RunProgram(argv, environment, std::chrono::minutes(2));
  if (result.exitCode == 0 || (mayFail && result.exitCode)) return;
  std::fprintf(stderr, "%s failed:\n%s\n", argv[0].c_str(), result.output.c_str());
  std::exit(1);
}

// A free run of ports for the servers' passive mode, on both loopback addresses.
std::uint16_t FreePassiveRange() {
  std::mt19937 random(static_cast<unsigned>(Clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 50; ++attempt) {
    const auto first = static_cast<std::uint16_t>(20000 + random() % 10000);
    bool free = true;
    for (std::uint16_t port = first; free && port < first + kPassiveCount; ++port)
      for (const char* address : {"127.0.0.1", kServerAddress}) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in bound{};
        bound.sin_family = AF_INET;
        bound.sin_port = htons(port);
        inet_pton(AF_INET, address, &bound.sin_addr);
        free = free && ::bind(fd, reinterpret_cast<sockaddr*>(&bound), sizeof bound) == 0;
        ::close(fd);
      }
    if (free) return first;
  }
  throw std::runtime_error("no free passive port range");
}

// One server under test behind the proxy, with Parcelo's tree beside it.
class Bench {
 public:
  Bench(const Settings& settings, RealServerKind kind, bool tls, const test::TestCertificates& certificates)
      : settings_(settings), tls_(tls), caFile_(certificates.CaFile().string()),
        passiveFirst_(FreePassiveRange()),
        server_(kind, {.tls = tls ? std::optional(certificates.Files(test::TestCertificate::Server)) : std::nullopt,
                       .address = kServerAddress,
                       .passivePorts = {passiveFirst_, static_cast<std::uint16_t>(passiveFirst_ + kPassiveCount - 1)}}),
        site_(kind),
        proxy_(kServerAddress, {}) {
    proxy_.MirrorPorts(passiveFirst_, static_cast<std::uint16_t>(passiveFirst_ + kPassiveCount - 1));
    for (int i = 0; i <= kMaxTargets; ++i) ports_.push_back(proxy_.AddControlPort(server_.Port()));
    proxy_.Start();
    fs::copy(settings.source / "site", appDir(), fs::copy_options::recursive);
    fs::create_directories(appDir() / "bin");
    fs::copy_file(settings.parcelo, appDir() / "bin/parcelo");
    fs::create_directories(server_.LoginDir() / "mailbox");
    fs::create_directories(site_.LoginDir() / "mailbox");
    std::string list = "<FTPSEND><IntranetUrl>http://x/</IntranetUrl><ReadmeDate>01.12.2026</ReadmeDate>";
    for (int i = 1; i <= kMaxTargets; ++i)
      list += "<Werk compress='no' passive='yes'" + std::string(tls ? " tls='yes'" : "") + "><NAME>Plant " +
              std::to_string(i) + "</NAME><SHORTNAME>T" + std::to_string(i) +
              "</SHORTNAME><PFAD>mailbox</PFAD><FTPADRESS>127.0.0.1:" + std::to_string(ports_[i]) +
              "</FTPADRESS></Werk>";
    list += "</FTPSEND>";
    for (const fs::path& top : {server_.Top(), site_.Top()}) test::PublishSiteFiles(top, appDir(), list);
    // A container of about 100 kB, as they come.
    std::string container = test::ReadFile(settings.source / "site/samples/valid-1.2.cnt");
    for (int i = 0; i < 1000; ++i) container += "<!-- " + std::string(90, 'x') + " -->\r\n";
    test::WriteFile(container_, container);
  }

  void SetLink(wan::Link link) { proxy_.SetLink(link); }
  const fs::path& Container() const { return container_; }
  fs::path appDir() const { return root_.Path() / "parcelo"; }

  // Parcelo unattended to the first `targets` targets; the site server is
  // the one under test behind the proxy (`siteBehindProxy`) or a plain one
  // on loopback. `targets` 0: the refresh alone (the run then fails).
  // `more`: further arguments.
  double Parcelo(int targets, bool siteBehindProxy, const std::vector<std::string>& more = {}) {
    std::vector<std::string> argv{(appDir() / "bin/parcelo").string(), container_.string()};
    argv.insert(argv.end(), more.begin(), more.end());
    if (targets == 0) argv.insert(argv.end(), {"-t", "NOSUCH"});
    for (int i = 1; i <= targets; ++i) argv.insert(argv.end(), {"-t", "T" + std::to_string(i)});
    std::map<std::string, std::string> environment{
        {"XDG_CONFIG_HOME", (root_.Path() / "config").string()},
        {"DISPLAY", ""},
        {"WAYLAND_DISPLAY", ""},
        {"QT_QPA_PLATFORM", ""},
        {"PARCELO_TLS_CA_FILE", caFile_},
        {"PARCELO_FTP_PASSIVE", "yes"},
        {"PARCELO_FTP_HOST", "127.0.0.1"},
        {"PARCELO_FTP_PORT", std::to_string(siteBehindProxy ? ports_[0] : site_.Port())},
        {"PARCELO_FTP_USER", siteBehindProxy ? server_.User() : site_.User()},
        {"PARCELO_FTP_PASSWORD", siteBehindProxy ? server_.Password() : site_.Password()},
        {"PARCELO_FTP_TLS", siteBehindProxy && tls_ ? "yes" : "no"}};
    return Seconds([&] { Run(argv, environment, targets == 0); });
  }

  std::vector<std::string> Curl(int target, const fs::path& file, bool text) const {
    std::vector<std::string> argv{"/usr/bin/curl", "-s", "-S", "--ftp-pasv", "--ftp-method", "singlecwd",
                                  "--user", server_.User() + ":" + server_.Password(), "-T", file.string()};
    if (text) argv.push_back("-B");
    if (tls_) argv.insert(argv.end(), {"--ssl-reqd", "--cacert", caFile_});
    argv.push_back("ftp://127.0.0.1:" + std::to_string(ports_[target]) + "/mailbox/curl" + std::to_string(target));
    return argv;
  }

  // `targets` curl sessions, one after the other or all at once.
  double CurlSessions(int targets, bool parallel, const fs::path& file, bool text) const {
    return Seconds([&] {
      std::vector<std::thread> running;
      for (int i = 1; i <= targets; ++i) {
        if (!parallel) Run(Curl(i, file, text), {});
        else running.emplace_back([this, i, &file, text] { Run(Curl(i, file, text), {}); });
      }
      for (auto& thread : running) thread.join();
    });
  }

  // One upload session of Parcelo's FTP client as a send runs it, binary.
  double ClientUpload(const fs::path& file) {
    ftp::TFtpClient client;
    client.Host = "127.0.0.1";
    client.Port = ports_[1];
    client.UserID = server_.User();
    client.Password = server_.Password();
    client.TimeOut = 30000;
    client.Passive = true;
    client.TlsMode = tls_ ? ftp::TTlsMode::Explicit : ftp::TTlsMode::None;
    client.TlsCaFiles = {caFile_};
    return Seconds([&] {
      client.Connect();
      client.ChangeDirectory("mailbox");
      client.SetTransferMode(ftp::tmLocal8);
      client.Upload(file.string(), "client.bin");
      client.Disconnect();
    });
  }

 private:
  const Settings& settings_;
  bool tls_;
  std::string caFile_;
  test::TempDir root_;
  fs::path container_ = root_.Path() / "ECU-4711.cnt";
  std::uint16_t passiveFirst_;
  test::RealFtpServer server_;
  test::RealFtpServer site_;
  wan::DelayProxy proxy_;
  std::vector<std::uint16_t> ports_;  // [0]: the site, [i]: target i
};

// The best of some runs with the delay and without, as round trips.
double RoundTrips(Bench& bench, std::chrono::milliseconds rtt, const std::function<double()>& session,
                  const std::function<void()>& before = [] {}) {
  double delayed = 1e9, direct = 1e9;
  for (int i = 0; i < kRuns; ++i) {
    bench.SetLink({rtt, 0});
    before();
    delayed = std::min(delayed, session());
    bench.SetLink({});
    before();
    direct = std::min(direct, session());
  }
  return (delayed - direct) / std::chrono::duration<double>(rtt).count();
}

void SessionRoundTrips(const Settings& settings, const test::TestCertificates& certificates) {
  for (const RealServerKind kind : {RealServerKind::Pyftpdlib, RealServerKind::Vsftpd})
    for (const bool tls : {false, true}) {
      Bench bench(settings, kind, tls, certificates);
      const std::string what = std::string(tls ? "ftps" : "ftp") + ", " +
                               (kind == RealServerKind::Pyftpdlib ? "pyftpdlib" : "vsftpd");
      const double ours = RoundTrips(bench, settings.rtt, [&] { return bench.Parcelo(1, false); });
      // curl 7.88 fails there: pyftpdlib resets its TLS data connection.
      if (kind == RealServerKind::Pyftpdlib && tls) {
        std::printf("round trips of one upload session, %s: %.1f (curl cannot upload there)\n", what.c_str(), ours);
      } else {
        const double curl =
            RoundTrips(bench, settings.rtt, [&] { return bench.CurlSessions(1, false, bench.Container(), true); });
        std::printf("round trips of one upload session, %s: %.1f (%.2f x curl's %.1f)\n", what.c_str(), ours,
                    ours / curl, curl);
      }
      const fs::path record = bench.appDir() / "lib/site-files.state";
      const double full = RoundTrips(bench, settings.rtt, [&] { return bench.Parcelo(0, true); },
                                     [&] { fs::remove(record); });
      const double unchanged = RoundTrips(bench, settings.rtt, [&] { return bench.Parcelo(0, true); });
      std::printf("round trips of the start-up refresh, %s: %.1f unchanged site, %.1f fetching all\n",
                  what.c_str(), unchanged, full);
    }
}

void TargetTimes(const Settings& settings, const test::TestCertificates& certificates) {
  Bench bench(settings, RealServerKind::Vsftpd, false, certificates);
  bench.SetLink({settings.rtt, 0});
  bench.Parcelo(1, true);  // the site files are fetched once before
  std::map<int, double> ours;
  for (const int targets : {1, 5, 10}) {
    ours[targets] = bench.Parcelo(targets, true);
    const double loop = bench.CurlSessions(targets, false, bench.Container(), true);
    const double parallel = bench.CurlSessions(targets, true, bench.Container(), true);
    std::printf("wall time, %d target%s, ftp: %.2f s (curl in a loop %.2f s, in parallel %.2f s)\n", targets,
                targets == 1 ? "" : "s", ours[targets], loop, parallel);
  }
  std::printf("wall time, 10 targets over 1 target: %.2f (goal at most 1.5)\n", ours[10] / ours[1]);
  const double all = bench.Parcelo(10, true, {"-parallel", "10"});
  std::printf("wall time, 10 targets, ftp, -parallel 10: %.2f s (%.2f x 1 target)\n", all, all / ours[1]);
}

void RateCapped(const Settings& settings, const test::TestCertificates& certificates) {
  Bench bench(settings, RealServerKind::Vsftpd, false, certificates);
  constexpr double kRate = 10e6;
  bench.SetLink({settings.rtt, kRate});
  const fs::path file = bench.appDir() / "50MB.bin";
  test::WriteFile(file, std::string(50'000'000, 'x'));
  double ours = 1e9, curl = 1e9;
  for (int i = 0; i < 2; ++i) {
    ours = std::min(ours, bench.ClientUpload(file));
    curl = std::min(curl, bench.CurlSessions(1, false, file, false));
  }
  std::printf("50 MB at 10 MB/s, one upload session, ftp: %.2f s (%.2f x curl's %.2f s; goal at most 1.1)\n", ours,
              ours / curl, curl);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: wan_bench PARCELO-BINARY SOURCE-DIR [RTT-MS]\n");
    return 2;
  }
  Settings settings{argv[1], argv[2]};
  if (argc > 3) settings.rtt = std::chrono::milliseconds(std::stoi(argv[3]));
  std::printf("  Round trips: (wall time with the delay - wall time without) / RTT, best of %d runs each,\n"
              "  RTT %lld ms through a user-space delay proxy; a connection costs 2 of them up to the greeting.\n",
              kRuns, static_cast<long long>(settings.rtt.count()));
  const test::TestCertificates certificates;
  const std::string only = std::getenv("WAN_BENCH_ONLY") ? std::getenv("WAN_BENCH_ONLY") : "";
  if (only.empty() || only == "sessions") SessionRoundTrips(settings, certificates);
  if (only.empty() || only == "targets") TargetTimes(settings, certificates);
  if (only.empty() || only == "rate") RateCapped(settings, certificates);
  return 0;
}
