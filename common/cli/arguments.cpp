#include "common/cli/arguments.h"

#include <charconv>
#include <cstdio>

#include "common/text/utf.h"

namespace VendraCli {

const char kVersion[] = "1.0.0";

std::string Arguments::Get(const std::string& name, const std::string& otherwise) const {
  const auto found = values.find(name);
  return found == values.end() ? otherwise : found->second;
}

namespace {

const Option* Find(const std::vector<Option>& options, std::string_view name) {
  for (const Option& o : options)
    if (o.name == name) return &o;
  return nullptr;
}

}  // namespace

bool Parse(const std::vector<std::string>& args, const std::vector<Option>& options,
           Arguments& out, std::string& reason) {
  out = Arguments();
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      out.positional.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    if (word == "-h" || word == "--help") {
      out.help = true;
      continue;
    }
    // A program may take "--version V" as an option of its own; alone on
    // the line it still asks for the program's version.
    if (word == "--version" && (!Find(options, "version") || args.size() == 1)) {
      out.version = true;
      continue;
    }
    if (word[1] != '-') {
      reason = "unknown option " + word;
      return false;
    }
    const size_t equals = word.find('=');
    const std::string name = word.substr(2, equals == std::string::npos ? std::string::npos
                                                                       : equals - 2);
    const Option* option = Find(options, name);
    if (!option) {
      reason = "unknown option --" + name;
      return false;
    }
    if (out.values.count(name) || out.switches.count(name)) {
      reason = "option --" + name + " is given twice";
      return false;
    }
    if (!option->takesValue) {
      if (equals != std::string::npos) {
        reason = "option --" + name + " takes no value";
        return false;
      }
      out.switches.insert(name);
      continue;
    }
    if (equals != std::string::npos) {
      out.values[name] = word.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      out.values[name] = args[++i];
    } else {
      reason = "option --" + name + " needs a value";
      return false;
    }
  }
  return true;
}

std::vector<std::string> Utf8Arguments(const std::vector<std::u16string>& args) {
  std::vector<std::string> out;
  out.reserve(args.size());
  for (const auto& a : args) out.push_back(VendraText::Utf16ToUtf8(a));
  return out;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

int UsageError(std::string_view program, std::string_view reason) {
  std::fprintf(stderr, "%.*s: %.*s\nTry '%.*s --help' for more information.\n",
               static_cast<int>(program.size()), program.data(),
               static_cast<int>(reason.size()), reason.data(),
               static_cast<int>(program.size()), program.data());
  return kExitUsage;
}

int PrintVersion(std::string_view program) {
  std::printf("%.*s %s\n", static_cast<int>(program.size()), program.data(), kVersion);
  return kExitSuccess;
}

int PrintHelp(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  return kExitSuccess;
}

bool ParseCount(std::string_view text, long long& value) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace VendraCli
