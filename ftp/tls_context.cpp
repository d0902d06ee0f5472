#include <openssl/err.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "ftp/tls_certificate_text.h"
#include "ftp/tls_context_impl.h"
#include "ftp/tls_system_trust.h"

namespace ftp {
namespace {

// Verification callback: keeps the reason of the first refusal where the
// connection's message will find it (the SSL object's application data).
int RecordRefusal(int preverified, X509_STORE_CTX* store) {
  if (preverified) return 1;
  const int error = X509_STORE_CTX_get_error(store);
  // A list speaks for the certificates of its own issuer; one of another
  // issuer cannot be checked against it, and is not refused for that.
  if (error == X509_V_ERR_UNABLE_TO_GET_CRL) return 1;
  auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* refusal = ssl ? static_cast<std::string*>(SSL_get_app_data(ssl)) : nullptr;
  if (refusal && refusal->empty()) *refusal = RefusalReason(error, X509_STORE_CTX_get_current_cert(store));
  return 0;
}

// Asked for the passphrase of an encrypted key: there is nobody to ask, so
// the key cannot be read; `asked` records why.
int NoPassphrase(char*, int, int, void* asked) {
  *static_cast<bool*>(asked) = true;
  return 0;
}

void LoadClientCertificate(SSL_CTX* ctx, const TTlsSettings& settings) {
  const std::string& certificate = settings.clientCertificate;
  if (certificate.empty()) return;
  ERR_clear_error();
  if (SSL_CTX_use_certificate_chain_file(ctx, certificate.c_str()) != 1)
    throw ETlsError("TLS: the client certificate " + certificate + " cannot be read: " + LibraryReason());
  const std::string& key = settings.clientKey.empty() ? certificate : settings.clientKey;
  bool passphraseAsked = false;
  SSL_CTX_set_default_passwd_cb(ctx, NoPassphrase);
  SSL_CTX_set_default_passwd_cb_userdata(ctx, &passphraseAsked);
  ERR_clear_error();
  const bool loaded = SSL_CTX_use_PrivateKey_file(ctx, key.c_str(), SSL_FILETYPE_PEM) == 1;
  SSL_CTX_set_default_passwd_cb_userdata(ctx, nullptr);
  if (loaded) return;
  if (passphraseAsked)
    throw ETlsError("TLS: the client key " + key + " is protected by a passphrase, which nobody can give here");
  const unsigned long error = ERR_peek_error();
  if (ERR_GET_REASON(error) == X509_R_KEY_VALUES_MISMATCH)
    throw ETlsError("TLS: the client key " + key + " does not belong to the certificate " + certificate);
  // The decoders found nothing they know in the file.
  const std::string why = ERR_GET_LIB(error) == ERR_LIB_OSSL_DECODER ? "no private key in it" : LibraryReason();
  throw ETlsError("TLS: the client key " + key + " cannot be read: " + why);
}

void LoadRevocationLists(SSL_CTX* ctx, const std::vector<std::string>& files) {
  if (files.empty()) return;
  X509_LOOKUP* lookup = X509_STORE_add_lookup(SSL_CTX_get_cert_store(ctx), X509_LOOKUP_file());
  for (const std::string& file : files) {
    ERR_clear_error();
    if (!lookup || X509_load_crl_file(lookup, file.c_str(), X509_FILETYPE_PEM) <= 0)
      throw ETlsError("TLS: the CRL file " + file + " cannot be read: " + LibraryReason());
  }
  // The server's own certificate; its issuers are the site's trusted authorities.
  X509_VERIFY_PARAM_set_flags(SSL_CTX_get0_param(ctx), X509_V_FLAG_CRL_CHECK);
}

// How a file looked when a context read it: a new stamp makes a new context.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  long long modifiedNs = 0;
  bool operator==(const FileStamp&) const = default;
};

std::vector<FileStamp> StampsOf(const TTlsSettings& settings) {
  std::vector<std::string> files = settings.caFiles;
  files.insert(files.end(), settings.crlFiles.begin(), settings.crlFiles.end());
  files.push_back(settings.clientCertificate);
  files.push_back(settings.clientKey);
  std::vector<FileStamp> stamps;
  for (const std::string& file : files) {
    struct stat status{};
    FileStamp& stamp = stamps.emplace_back();
    if (file.empty() || ::stat(file.c_str(), &status) != 0) continue;
#ifdef _WIN32
    const long long modifiedNs = status.st_mtime * 1000000000LL;  // Windows' stat keeps seconds
#else
    const long long modifiedNs = status.st_mtim.tv_sec * 1000000000LL + status.st_mtim.tv_nsec;
#endif
    stamp = {status.st_dev, status.st_ino, status.st_size, modifiedNs};
  }
  return stamps;
}

// The contexts of this process, one per settings.
class ContextCache {
 public:
  // The library is set up before the cache exists, so that its clean-up at
  // exit runs after the cache has freed its contexts.
  ContextCache() { OPENSSL_init_ssl(0, nullptr); }

  std::shared_ptr<const TTlsContext> Get(const TTlsSettings& settings) {
    std::vector<FileStamp> stamps = StampsOf(settings);
    const std::lock_guard guard(lock_);
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [&](const Entry& entry) { return entry.settings == settings; });
    if (found != entries_.end() && found->stamps == stamps) return found->context;
    auto context = std::make_shared<const TTlsContext>(settings);
    if (found == entries_.end()) found = entries_.insert(entries_.end(), Entry{settings, {}, nullptr});
    found->stamps = std::move(stamps);
    found->context = context;
    return context;
  }

 private:
  struct Entry {
    TTlsSettings settings;
    std::vector<FileStamp> stamps;
    std::shared_ptr<const TTlsContext> context;
  };
  std::mutex lock_;
  std::vector<Entry> entries_;
};

}  // namespace

std::string LibraryReason() {
  // The first error queued; the later ones tell how it travelled up.
  const unsigned long error = ERR_peek_error();
  if (ERR_SYSTEM_ERROR(error)) return std::strerror(ERR_GET_REASON(error));
  const char* reason = error ? ERR_reason_error_string(error) : nullptr;
  return reason ? reason : "unknown reason";
}

TTlsContext::TTlsContext(const TTlsSettings& settings) : impl_(std::make_unique<Impl>()) {
  ERR_clear_error();
  SSL_CTX* ctx = impl_->ctx = SSL_CTX_new(TLS_client_method());
  if (!ctx) throw ETlsError("TLS: the TLS library cannot be set up: " + LibraryReason());
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  // The system's configuration may lower the level (SECLEVEL=1 takes RSA
  // keys of 1024 bits and SHA-1 signatures); ours never goes below 2.
  SSL_CTX_set_security_level(ctx, std::max(2, SSL_CTX_get_security_level(ctx)));
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, RecordRefusal);
  // Partial writes let Write hand over one record at a time; a write repeated
  // after WantWrite may come from a buffer that has moved.
  SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  // Reading ahead saves a system call per record. It is safe because a read
  // reports WantRead only once what it holds is used up, so a caller that
  // waits for the socket then never waits while data sits here.
  SSL_CTX_set_read_ahead(ctx, 1);
  AddSystemTrust(ctx);
  for (const std::string& file : settings.caFiles) {
    ERR_clear_error();
    if (SSL_CTX_load_verify_locations(ctx, file.c_str(), nullptr) != 1)
      throw ETlsError("TLS: the CA file " + file + " cannot be read: " + LibraryReason());
  }
  LoadClientCertificate(ctx, settings);
  LoadRevocationLists(ctx, settings.crlFiles);
  impl_->clientCertificate = settings.clientCertificate;
  ERR_clear_error();
}

TTlsContext::~TTlsContext() = default;

std::shared_ptr<const TTlsContext> TTlsContext::Shared(const TTlsSettings& settings) {
  static ContextCache cache;
  return cache.Get(settings);
}

}  // namespace ftp
