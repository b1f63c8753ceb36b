// kind_compiler OUTPUT.cpp: writes the shipped kinds, as read from their
// kind files, as C++ that builds them (devices/compiled_kinds.h), so that
// the program does not parse TOML for them at every start.
//
// Run by the build on the files it embeds (devices/shipped_kinds.h). A file
// that does not read, or a pattern that does not compile, stops the build
// with FILE:LINE: what.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <variant>

#include "devices/kind_file.h"
#include "devices/shipped_kinds.h"

namespace comvorlix {
namespace {

// A C++ string expression holding exactly `bytes`: printable ASCII as it
// is, everything else (and quotes, backslashes, '?') as three-digit octal,
// which no following character can extend.
std::string Literal(const std::string& bytes) {
  std::string out = "std::string(\"";
  for (const char c : bytes) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F && c != '"' && c != '\\' && c != '?') {
      out += c;
    } else {
      char octal[5];
      std::snprintf(octal, sizeof octal, "\\%03o", u);
      out += octal;
    }
  }
  return out + "\", " + std::to_string(bytes.size()) + ")";
}

std::string Strings(const std::vector<std::string>& list) {
  std::string out = "{";
  for (const std::string& s : list) out += Literal(s) + ", ";
  return out + "}";
}

std::string Optional(const std::optional<int>& value) {
  return value ? "std::optional<int>(" + std::to_string(*value) + ")" : "std::nullopt";
}

// Every member of DeviceKind, in the order the header declares them.
void Write(std::ostream& out, const DeviceKind& k) {
  out << "  {\n    DeviceKind k;\n";
  out << "    k.code = " << Literal(k.code) << ";\n";
  out << "    k.sort_key = " << k.sort_key << ";\n";
  out << "    k.form_name = " << Literal(k.form_name) << ";\n";
  out << "    k.short_name = " << Literal(k.short_name) << ";\n";
  for (const OpeningStep& step : k.opening) {
    out << "    k.opening.push_back(OpeningStep{" << Literal(step.send) << ", " << Strings(step.questions) << ", "
        << Literal(step.asks_for) << ", " << (step.answers_question ? "true" : "false") << "});\n";
  }
  out << "    k.marker = " << Literal(k.marker) << ";\n";
  out << "    k.run_listing = " << Literal(k.run_listing) << ";\n";
  out << "    k.start_listing = " << Literal(k.start_listing) << ";\n";
  out << "    k.other_listing = " << Literal(k.other_listing) << ";\n";
  out << "    k.line_end = " << Literal(k.line_end) << ";\n";
  out << "    k.opening_threshold_offset = " << Optional(k.opening_threshold_offset) << ";\n";
  out << "    k.follow_up = " << Strings(k.follow_up) << ";\n";
  out << "    k.follow_up_threshold = " << Optional(k.follow_up_threshold) << ";\n";
  out << "    k.logout = " << Literal(k.logout) << ";\n";
  out << "    k.run_marker = " << Literal(k.run_marker) << ";\n";
  out << "    k.start_marker = " << Literal(k.start_marker) << ";\n";
  out << "    k.end_line = " << Literal(k.end_line) << ";\n";
  out << "    k.endless_markers = " << Strings(k.endless_markers) << ";\n";
  out << "    k.head_lines = " << Strings(k.head_lines) << ";\n";
  out << "    k.drifting_lines = " << Strings(k.drifting_lines) << ";\n";
  out << "    k.free_text_openers = " << Strings(k.free_text_openers) << ";\n";
  out << "    k.separator_lines = " << Strings(k.separator_lines) << ";\n";
  for (const SecretRule& rule : k.secret_patterns) {
    out << "    k.secret_patterns.push_back(SecretRule{" << Literal(rule.line) << ", " << Literal(rule.section)
        << "});\n";
  }
  out << "    k.attribution = " << Literal(k.attribution) << ";\n";
  out << "    k.login_suffix = " << Literal(k.login_suffix) << ";\n";
  if (k.earlier) {
    out << "    k.earlier = EarlierRule{" << Strings(k.earlier->prefixes) << ", " << Strings(k.earlier->separators)
        << ", " << (k.earlier->cut_header ? "true" : "false") << "};\n";
  }
  out << "    kinds.push_back(std::move(k));\n  }\n";
}

}  // namespace
}  // namespace comvorlix

int main(int argc, char** argv) {
  using namespace comvorlix;
  if (argc != 2) {
    std::fprintf(stderr, "usage: kind_compiler OUTPUT.cpp\n");
    return 2;
  }
  std::ostringstream out;
  out << "// Generated from devices/kinds/*.toml by tools/kind_compiler.\n"
         "#include \"devices/compiled_kinds.h\"\n\n"
         "#include <optional>\n#include <string>\n#include <utility>\n\n"
         "namespace comvorlix {\n\n"
         "std::vector<DeviceKind> CompiledShippedKinds() {\n"
         "  std::vector<DeviceKind> kinds;\n";
  for (const ShippedKindFile& shipped : ShippedKindFiles()) {
    // Every pattern is compiled here, once, as an administrator's file is at
    // every start.
    auto parsed = ParseKindFile(shipped.text, std::string(shipped.name));
    if (const auto* problem = std::get_if<KindFileProblem>(&parsed)) {
      std::fprintf(stderr, "kind_compiler: %s\n", problem->Message().c_str());
      return 1;
    }
    Write(out, std::get<DeviceKind>(parsed));
  }
  out << "  return kinds;\n}\n\n}  // namespace comvorlix\n";
  std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
  file << out.str();
  file.close();
  if (!file) {
    std::fprintf(stderr, "kind_compiler: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
