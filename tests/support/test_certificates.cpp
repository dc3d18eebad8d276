#include "tests/support/test_certificates.h"

#include "tests/support/shell.h"

namespace VendraTest {

namespace {

bool Run(const std::string& command) { return RunShell(command + " >/dev/null 2>&1") == 0; }

}  // namespace

TestCertificates::TestCertificates(const std::string& names)
    : caFile_(folder_.Sub("ca.pem")),
      certFile_(folder_.Sub("server.pem")),
      keyFile_(folder_.Sub("server.key")) {
  const std::string dir = ShellPath(folder_.path());
  WriteTextFile(folder_.Sub("server.ext"),
                "basicConstraints=CA:FALSE\n"
                "keyUsage=digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\n"
                "subjectAltName=" + names + "\n");
  // The CA signs with RSA: Wine's certificate chain check rejects a valid
  // ECDSA signature whose r or s has a leading zero byte (about one in 128),
  // which made a whole Windows suite fail now and then.
  ok_ = Run("openssl req -x509 -newkey rsa:2048 -nodes"
            " -keyout " + dir + "/ca.key -out " + dir + "/ca.pem -days 2"
            " -subj '/CN=Vendra Test CA'") &&
        Run("openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
            " -keyout " + dir + "/server.key -out " + dir + "/server.csr"
            " -subj '/CN=localhost'") &&
        Run("openssl x509 -req -in " + dir + "/server.csr -CA " + dir + "/ca.pem -CAkey " + dir +
            "/ca.key -CAcreateserial -out " + dir + "/server.pem -days 2 -extfile " + dir +
            "/server.ext");
}

const TestCertificates& TestCertificates::Shared() {
  static const TestCertificates certificates;
  return certificates;
}

}  // namespace VendraTest
