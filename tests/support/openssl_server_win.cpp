#include "support/brokered_server.h"
#include "support/openssl_server.h"

namespace test {

// It runs on the Linux side, started by its launcher.
struct OpensslServer::Running {
  BrokeredServer server;
};

OpensslServer::OpensslServer(const CertificateFiles& files, const std::vector<std::string>& options)
    : running_(new Running{BrokeredServer(OpensslServerCommand(files, options), {}, kOpensslReadyPrefix)}),
      port_(PortOfReadyLine(running_->server.ReadyLine())) {}

OpensslServer::~OpensslServer() = default;

}  // namespace test
