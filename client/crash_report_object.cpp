#include "client/crash_report_object.h"

namespace VendraClient {
namespace {

using VendraJSON::VSJObject;

void SetNarrow(VSJObject& report, std::u16string_view key, const std::string& text) {
  if (IsValidUtf8(text)) report.SetStringA(key, text);
}

void SetName(VSJObject& report, std::u16string_view key, const NameText& name) {
  if (const auto* wide = std::get_if<std::u16string>(&name)) {
    report.SetString(key, std::u16string_view(*wide));
    return;
  }
  SetNarrow(report, key, std::get<std::string>(name));
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    size_t length;
    char32_t cp;
    char32_t least;
    if ((lead & 0xE0) == 0xC0) {
      length = 2, cp = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, cp = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, cp = lead & 0x07, least = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

Vendra::RefPtr<VSJObject> MakeCrashReport(const CrashFacts& facts) {
  auto report = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  SetNarrow(*report, u"project", facts.project);
  SetNarrow(*report, u"version", facts.version);
  report->SetInteger(u"build", static_cast<int64_t>(facts.build));
  SetName(*report, u"executable", facts.executable);
  report->SetInteger(u"exetimestamp", facts.executableTime);
  SetName(*report, u"module", facts.module);
  report->SetInteger(u"address_in_module", facts.addressInModule);
  report->SetInteger(u"exception", facts.exception);
  SetNarrow(*report, u"report", facts.report);
  return report;
}

}  // namespace VendraClient
