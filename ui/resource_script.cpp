#include "ui/resource_script.h"

#include "common/text/format.h"
#include "common/text/utf.h"

namespace VendraUi {
namespace {

std::string Geometry(const ControlTemplate& c) {
  return VendraText::Format("%d, %d, %d, %d", c.x, c.y, c.width, c.height);
}

std::string Styles(const ControlTemplate& c) {
  std::string out;
  auto add = [&out](const char* style) {
    if (!out.empty()) out += " | ";
    out += style;
  };
  if (c.kind == ControlKind::Edit) {
    if (c.Has(kMultiLine)) add("ES_MULTILINE");
    if (c.Has(kWantReturn)) add("ES_WANTRETURN");
    if (c.Has(kReadOnly)) add("ES_READONLY");
    if (c.Has(kPassword)) add("ES_PASSWORD");
    if (c.Has(kAutoHScroll)) add("ES_AUTOHSCROLL");
    if (c.Has(kVerticalScroll)) add("WS_VSCROLL");
  } else if (c.kind == ControlKind::Static) {
    if (c.Has(kNoPrefix)) add("SS_NOPREFIX");
    if (c.Has(kPathEllipsis)) add("SS_PATHELLIPSIS");
  } else if (c.kind == ControlKind::ComboBox) {
    add(c.Has(kDropDown) ? "CBS_DROPDOWN" : "CBS_DROPDOWNLIST");
    if (c.Has(kVerticalScroll)) add("WS_VSCROLL");
    add("WS_TABSTOP");
  }
  return out;
}

std::string ControlLine(const ControlTemplate& c) {
  std::string line = "    ";
  const std::string text = ResourceString(c.text);
  const std::string place = VendraText::Format("%d, ", c.id) + Geometry(c);
  switch (c.kind) {
    case ControlKind::DefaultPushButton:
      line += "DEFPUSHBUTTON   " + text + ", " + place;
      break;
    case ControlKind::PushButton:
      line += "PUSHBUTTON      " + text + ", " + place;
      break;
    case ControlKind::Static:
      line += (c.Has(kCentered) ? "CTEXT           " : "LTEXT           ") + text + ", " + place;
      break;
    case ControlKind::Edit:
      line += "EDITTEXT        " + place;
      break;
    case ControlKind::ComboBox:
      line += "COMBOBOX        " + place;
      break;
    case ControlKind::ProgressBar:
      // The generic form puts the style before the geometry.
      return line + "CONTROL         " + text + VendraText::Format(", %d, ", c.id) +
             "\"msctls_progress32\", WS_BORDER, " + Geometry(c) + "\n";
  }
  const std::string styles = Styles(c);
  if (!styles.empty()) line += ", " + styles;
  return line + "\n";
}

}  // namespace

std::string ResourceString(std::u16string_view text) {
  std::string out = "\"";
  for (char c : VendraText::Utf16ToUtf8(text)) {
    switch (c) {
      case '"': out += "\"\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += c; break;
    }
  }
  return out + "\"";
}

std::string RenderResourceScript(std::span<const DialogTemplate* const> dialogs) {
  std::string out =
      "// Generated from the dialog templates (ui/dialog_templates.cpp); do not edit.\n"
      "// Regenerate with: cmake --build <build folder> --target ui_resource_script\n"
      "#include <windows.h>\n"
      "\n"
      "#pragma code_page(65001)\n";
  for (const DialogTemplate* d : dialogs) {
    out += VendraText::Format("\n%d DIALOGEX 0, 0, %d, %d\n", d->resourceId, d->width, d->height);
    out += "STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU";
    out += d->minimizable ? " | WS_MINIMIZEBOX\n" : "\n";
    out += "CAPTION " + ResourceString(d->caption) + "\n";
    out += VendraText::Format("FONT %d, ", d->pointSize) + ResourceString(d->fontName) +
           ", 0, 0, 0x1\n";
    out += "BEGIN\n";
    for (const ControlTemplate& c : d->controls) out += ControlLine(c);
    out += "END\n";
  }
  return out;
}

}  // namespace VendraUi
