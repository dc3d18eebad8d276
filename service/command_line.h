#pragma once

#include <map>
#include <string>
#include <vector>

namespace VendraService {

// "--name value" pairs and "--flag" switches after the command word.
struct CommandLine {
  std::string command;
  std::map<std::string, std::string> values;
  std::vector<std::string> switches;

  bool Has(const std::string& name) const { return values.count(name) != 0; }
  std::string Get(const std::string& name) const {
    auto found = values.find(name);
    return found == values.end() ? std::string() : found->second;
  }
  bool Switch(const std::string& name) const;
};

// Reads argv; switchNames are the options that take no value. False with a
// reason for an unknown shape (an option without its value, a stray word).
bool ParseCommandLine(int argc, char** argv, const std::vector<std::string>& switchNames,
                      CommandLine& out, std::string& reason);

}  // namespace VendraService
