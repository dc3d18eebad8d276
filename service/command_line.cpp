#include "service/command_line.h"

#include <algorithm>

namespace VendraService {

bool CommandLine::Switch(const std::string& name) const {
  return std::find(switches.begin(), switches.end(), name) != switches.end();
}

bool ParseCommandLine(int argc, char** argv, const std::vector<std::string>& switchNames,
                      CommandLine& out, std::string& reason) {
  if (argc < 2) {
    reason = "no command given";
    return false;
  }
  out.command = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.rfind("--", 0) != 0) {
      reason = "unexpected word \"" + word + "\"";
      return false;
    }
    const std::string name = word.substr(2);
    if (std::find(switchNames.begin(), switchNames.end(), name) != switchNames.end()) {
      out.switches.push_back(name);
      continue;
    }
    if (i + 1 >= argc) {
      reason = "option " + word + " needs a value";
      return false;
    }
    out.values[name] = argv[++i];
  }
  return true;
}

}  // namespace VendraService
