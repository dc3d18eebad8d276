// vendra-service: a stand-in for the vendor's web service, for tests and
// demonstrations. See service/README.md.
#include <pthread.h>
#include <signal.h>

#include <charconv>
#include <filesystem>
#include <iostream>
#include <thread>

#include "service/accounts.h"
#include "common/cli/arguments.h"
#include "service/digest.h"
#include "service/http_front.h"
#include "service/totp.h"

namespace {

using CommandLine = VendraCli::Arguments;

constexpr char kProgram[] = "vendra-service";

const char kHelp[] =
    "usage:\n"
    "  vendra-service serve --root DIR --listen HOST:PORT [--tls-cert FILE --tls-key FILE]\n"
    "                       [--access-lifetime S] [--refresh-lifetime S] [--local-lifetime S]\n"
    "                       [--faults] [--rate BITS_PER_SECOND]\n"
    "  vendra-service add-user --root DIR --user NAME --password PASSWORD\n"
    "                          [--totp-secret BASE32]\n"
    "\n"
    "serve     answers the client's requests from the service root DIR (an existing\n"
    "          folder) on HOST:PORT (port 0: a free one); prints \"listening URL\".\n"
    "          --rate holds all reply bodies together to that many bits per second\n"
    "          (K, M, G: thousands; 100M is a 100 Mbit/s line), as one user's line.\n"
    "add-user  stores an account in DIR; a DIR that does not exist yet is made\n"
    "          as a new service root (and said so).\n"
    "\n"
    "Exit codes: 0 success (serve: stopped by SIGTERM or SIGINT), 1 failure (the\n"
    "reason on standard error), 2 wrong command line.\n";

int Usage(const std::string& reason) { return VendraCli::UsageError(kProgram, reason); }

bool ParseSeconds(const std::string& text, int64_t& seconds) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  return error == std::errc() && end == text.data() + text.size() && seconds > 0;
}

bool ParseListen(const std::string& text, std::string& host, int& port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  host = text.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  const std::string portText = text.substr(colon + 1);
  const auto [end, error] =
      std::from_chars(portText.data(), portText.data() + portText.size(), port);
  return error == std::errc() && end == portText.data() + portText.size() && port >= 0 &&
         port <= 65535;
}

int Serve(const CommandLine& line) {
  if (line.positional.size() != 1) return Usage("serve takes options only");
  for (const char* other : {"user", "password", "totp-secret"})
    if (line.Has(other)) return Usage(std::string("serve takes no --") + other);
  VendraService::ServeOptions options;
  if (!line.Has("root") || !line.Has("listen")) return Usage("serve needs --root and --listen");
  options.root = line.Get("root");
  if (!ParseListen(line.Get("listen"), options.host, options.port)) {
    return Usage("--listen takes HOST:PORT");
  }
  if (line.Has("tls-cert") != line.Has("tls-key")) {
    return Usage("--tls-cert and --tls-key go together");
  }
  options.tlsCert = line.Get("tls-cert");
  options.tlsKey = line.Get("tls-key");
  const std::pair<const char*, int64_t*> lifetimes[] = {
      {"access-lifetime", &options.lifetimes.access},
      {"refresh-lifetime", &options.lifetimes.refresh},
      {"local-lifetime", &options.lifetimes.local}};
  for (const auto& [name, target] : lifetimes) {
    if (line.Has(name) && !ParseSeconds(line.Get(name), *target)) {
      return Usage(std::string("--") + name + " takes a positive number of seconds");
    }
  }
  if (line.Has("rate")) {
    const auto rate = VendraService::ParseRate(line.Get("rate"));
    if (!rate) return Usage("--rate takes bits per second, such as 100M (K, M, G: thousands)");
    options.rateBitsPerSecond = *rate;
  }
  options.faults = line.Switch("faults");
  if (options.faults && !VendraService::IsLoopbackHost(options.host)) {
    return Usage("--faults is allowed only with a loopback --listen address");
  }
  // A mistyped root would otherwise serve an empty catalogue and refuse
  // every sign-in, which looks like a fault of the client.
  std::error_code error;
  if (!std::filesystem::is_directory(options.root, error)) {
    std::cerr << "vendra-service: the root folder " << options.root
              << " does not exist; make it (add-user --root makes it) and try again\n";
    return 1;
  }

  // SIGTERM and SIGINT are taken by one thread that stops the server; every
  // other thread (the HTTP library's workers included) has them blocked.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  VendraService::HttpFront front(options);
  std::thread stopper([&] {
    int received = 0;
    sigwait(&stopSignals, &received);
    front.Stop();
  });
  const int code = front.Run();
  // Wake the stopper when the server ended for another reason.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  return code;
}

int AddUser(const CommandLine& line) {
  if (line.positional.size() != 1) return Usage("add-user takes options only");
  for (const char* other : {"listen", "tls-cert", "tls-key", "access-lifetime",
                            "refresh-lifetime", "local-lifetime", "rate"})
    if (line.Has(other)) return Usage(std::string("add-user takes no --") + other);
  if (line.Switch("faults")) return Usage("add-user takes no --faults");
  if (!line.Has("root") || !line.Has("user") || !line.Has("password")) {
    return Usage("add-user needs --root, --user and --password");
  }
  if (!VendraService::IsValidUsername(line.Get("user"))) {
    return Usage("user names are letters, digits and . _ @ + - (not starting with a dot)");
  }
  const std::string secret = line.Get("totp-secret");
  if (!secret.empty()) {
    auto key = VendraService::Base32Decode(secret);
    if (!key || key->empty()) return Usage("--totp-secret must be base32 text");
  }
  // The first account makes a new root; saying so shows a mistyped --root
  // here rather than as a service that does not know the account.
  std::error_code ignored;
  const bool newRoot = !std::filesystem::is_directory(line.Get("root"), ignored);
  VendraService::AccountStore accounts(line.Get("root"));
  VendraService::Account account;
  if (auto existing = accounts.Find(line.Get("user"))) account = *existing;
  account.username = line.Get("user");
  account.passwordMd5 = VendraService::Md5Hex(line.Get("password"));
  account.totpSecret = secret;
  if (!accounts.Save(account)) {
    std::cerr << "vendra-service: cannot write the account into " << line.Get("root") << "\n";
    return 1;
  }
  if (newRoot) std::cout << "made the new service root " << line.Get("root") << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  std::string reason;
  if (!VendraCli::Parse(VendraCli::Utf8Arguments(argc, argv),
                        {{"root", true},
                         {"listen", true},
                         {"tls-cert", true},
                         {"tls-key", true},
                         {"access-lifetime", true},
                         {"refresh-lifetime", true},
                         {"local-lifetime", true},
                         {"faults", false},
                         {"rate", true},
                         {"user", true},
                         {"password", true},
                         {"totp-secret", true}},
                        line, reason)) {
    return Usage(reason);
  }
  if (line.help) return VendraCli::PrintHelp(kHelp);
  if (line.version) return VendraCli::PrintVersion(kProgram);
  if (line.positional.empty()) return Usage("no command given");
  const std::string& command = line.positional[0];
  if (command == "serve") return Serve(line);
  if (command == "add-user") return AddUser(line);
  return Usage("unknown command \"" + command + "\"");
}
