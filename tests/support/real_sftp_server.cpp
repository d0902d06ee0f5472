#include "support/real_sftp_server.h"

#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sstream>
#include <stdexcept>

#include "support/run_program.h"

namespace test {
namespace {

constexpr const char* kSftpServer = "/usr/lib/openssh/sftp-server";

std::filesystem::path MakeKey(const TempDir& dir, const std::string& name, const char* type = "ed25519") {
  const auto key = dir / name;
  const ProgramResult made =
      RunProgram({"/usr/bin/ssh-keygen", "-q", "-t", type, "-N", "", "-C", name, "-f", key.string()}, {});
  if (made.exitCode != 0) throw std::runtime_error("ssh-keygen: " + made.output);
  return key;
}

// "256 SHA256:<base64> comment (ED25519)" -> "SHA256:<base64>".
std::string FingerprintOf(const std::filesystem::path& key) {
  std::istringstream words(RunProgram({"/usr/bin/ssh-keygen", "-l", "-E", "sha256", "-f", key.string() + ".pub"}, {}).output);
  std::string bits, fingerprint;
  words >> bits >> fingerprint;
  if (!fingerprint.starts_with("SHA256:")) throw std::runtime_error("no fingerprint of " + key.string());
  return fingerprint;
}

// sftp_quirks.py's names, in the order of SftpQuirk.
constexpr const char* kQuirkNames[] = {"", "stall", "silent", "huge-reply", "wrong-size", "check-file", "wrong-digest"};

}  // namespace

RealSftpServer::RealSftpServer(RealSftpOptions options) : options_(std::move(options)) {
  user_ = getpwuid(geteuid())->pw_name;
  hostKeys_[HostKey::Main] = MakeKey(state_, "host_key");
  hostKeys_[HostKey::Other] = MakeKey(state_, "other_key");
  if (options_.ecdsaKeyToo) hostKeys_[HostKey::Ecdsa] = MakeKey(state_, "ecdsa_key", "ecdsa");
  userKey_ = MakeKey(state_, "user_key");
  std::filesystem::copy_file(userKey_.string() + ".pub", state_ / "authorized_keys");
  const std::string support = PARCELO_TEST_SUPPORT_DIR;
  std::vector<std::string> command;
  if (options_.peer == SftpPeer::Sshd) {
    WriteFile(state_ / "sshd_config", SshdConfig());
    // As root, sshd insists on its privilege separation folder, which a
    // system that never started sshd lacks.
    if (geteuid() == 0) std::filesystem::create_directories("/run/sshd");
    command = {"/usr/sbin/sshd", "-i", "-e", "-f", (state_ / "sshd_config").string()};
  } else {
    const char* method = options_.peer == SftpPeer::PasswordPeer ? "password" : "keyboard-interactive";
    command = {"/usr/bin/python3", support + "/ssh_password_peer.py", hostKeys_[HostKey::Main].string(), user_, password_,
               method, (state_ / "attempts").string(), kSftpServer};
  }
  inetd_ = std::make_unique<InetdListener>(command, options_.address == "::1" ? AF_INET6 : AF_INET);
}

std::string RealSftpServer::SshdConfig() const {
  const std::string subsystem =
      options_.quirk == SftpQuirk::None
          ? kSftpServer
          : "/usr/bin/python3 " + std::string(PARCELO_TEST_SUPPORT_DIR) + "/sftp_quirks.py " +
                kQuirkNames[static_cast<int>(options_.quirk)] + " " + kSftpServer;
  std::string hostKeys = "HostKey " + hostKeys_.at(HostKey::Main).string() + "\n";
  if (options_.ecdsaKeyToo) hostKeys += "HostKey " + hostKeys_.at(HostKey::Ecdsa).string() + "\n";
  return hostKeys +
         "AuthorizedKeysFile " + (state_ / "authorized_keys").string() + "\n" +
         "StrictModes no\n"
         "UsePAM no\n"
         "PasswordAuthentication no\n"
         "KbdInteractiveAuthentication no\n"
         "PermitRootLogin prohibit-password\n"
         "LogLevel ERROR\n"
         "Subsystem sftp " + subsystem + "\n";
}

std::string RealSftpServer::Fingerprint(HostKey key) const { return FingerprintOf(hostKeys_.at(key)); }

std::string RealSftpServer::KnownHostsLine(HostKey which) const {
  std::istringstream key(ReadFile(hostKeys_.at(which).string() + ".pub"));
  std::string type, base64;
  key >> type >> base64;
  return "[" + options_.address + "]:" + std::to_string(Port()) + " " + type + " " + base64;
}

std::vector<std::string> RealSftpServer::Attempts() const {
  std::istringstream lines(ReadFile(state_ / "attempts"));
  std::vector<std::string> attempts;
  for (std::string line; std::getline(lines, line);) attempts.push_back(line);
  return attempts;
}

}  // namespace test
