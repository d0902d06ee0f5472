#include <windows.h>
#include <wincrypt.h>
#undef X509_NAME
#undef X509_EXTENSIONS
#undef PKCS7_SIGNER_INFO
#undef OCSP_REQUEST
#undef OCSP_RESPONSE

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

#include "ftp/tls_system_trust.h"

namespace ftp {
namespace {

constexpr wchar_t kTestStore[] = L"ParceloTest";

using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;
using Store = std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)>;

// A self-signed authority made afresh.
Certificate MakeAuthority() {
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_EC_gen("P-256"), EVP_PKEY_free);
  Certificate made(X509_new(), X509_free);
  X509_set_version(made.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(made.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(made.get()), -60);
  X509_gmtime_adj(X509_getm_notAfter(made.get()), 3600);
  X509_NAME* name = X509_get_subject_name(made.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Parcelo Store CA"),
                             -1, -1, 0);
  X509_set_issuer_name(made.get(), name);
  X509_set_pubkey(made.get(), key.get());
  X509_sign(made.get(), key.get(), EVP_sha256());
  return made;
}

bool Trusted(X509_STORE* store, X509* certificate) {
  std::unique_ptr<X509_STORE_CTX, decltype(&X509_STORE_CTX_free)> context(X509_STORE_CTX_new(), X509_STORE_CTX_free);
  X509_STORE_CTX_init(context.get(), store, certificate, nullptr);
  return X509_verify_cert(context.get()) == 1;
}

class WindowsTrust : public ::testing::Test {
 protected:
  void TearDown() override {
    CertUnregisterSystemStore(kTestStore, CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_DELETE_FLAG);
  }
};

TEST_F(WindowsTrust, TheRootStoreGivesItsAuthorities) {
  const Store store(X509_STORE_new(), X509_STORE_free);
  EXPECT_GT(AddWindowsStoreCertificates(store.get(), L"ROOT"), 0);
}

TEST_F(WindowsTrust, AnAuthorityInTheStoreIsTrustedAndNoneOutside) {
  const Certificate authority = MakeAuthority();
  const Store before(X509_STORE_new(), X509_STORE_free);
  AddWindowsStoreCertificates(before.get(), kTestStore);
  EXPECT_FALSE(Trusted(before.get(), authority.get()));

  unsigned char* der = nullptr;
  const int length = i2d_X509(authority.get(), &der);
  HCERTSTORE system = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, kTestStore);
  ASSERT_NE(system, nullptr);
  ASSERT_TRUE(CertAddEncodedCertificateToStore(system, X509_ASN_ENCODING, der, static_cast<DWORD>(length),
                                               CERT_STORE_ADD_NEW, nullptr));
  CertCloseStore(system, 0);
  OPENSSL_free(der);

  const Store after(X509_STORE_new(), X509_STORE_free);
  EXPECT_EQ(AddWindowsStoreCertificates(after.get(), kTestStore), 1);
  EXPECT_TRUE(Trusted(after.get(), authority.get()));
}

}  // namespace
}  // namespace ftp
