#include "inspect/render/html.h"

#include <charconv>

#include "inspect/render/svg_document.h"

namespace korvane::inspect {
namespace {

// A cell that is one number, set right-aligned.
bool looks_numeric(const std::string& text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return !text.empty() && error == std::errc() && stop == end;
}

std::string cells(const Row& row, const char* tag) {
  std::string out = "<tr>";
  for (const std::string& cell : row) {
    const bool number = std::string_view(tag) == "td" && looks_numeric(cell);
    out += std::string("<") + tag + (number ? " class=\"n\">" : ">") + xml_escape(cell) + "</" +
           tag + ">";
  }
  return out + "</tr>\n";
}

}  // namespace

std::string html_table(std::string_view caption, const Row& head, const std::vector<Row>& rows) {
  std::string out = "<table>\n";
  if (!caption.empty()) out += "<caption>" + xml_escape(caption) + "</caption>\n";
  if (!head.empty()) out += "<thead>" + cells(head, "th") + "</thead>\n";
  out += "<tbody>\n";
  for (const Row& row : rows) out += cells(row, "td");
  return out + "</tbody>\n</table>\n";
}

std::string html_verdict(bool fault, std::string_view text) {
  return std::string("<p class=\"verdict ") + (fault ? "fault" : "ok") + "\">" + xml_escape(text) +
         "</p>\n";
}

std::string html_paragraph(std::string_view text, std::string_view css_class) {
  return "<p" + (css_class.empty() ? std::string() : " class=\"" + std::string(css_class) + "\"") +
         ">" + xml_escape(text) + "</p>\n";
}

std::string html_section(std::string_view id, std::string_view heading, const std::string& body) {
  return "<section id=\"" + std::string(id) + "\">\n<h2>" + xml_escape(heading) + "</h2>\n" + body +
         "</section>\n";
}

std::string html_figure(const std::string& svg, std::string_view caption) {
  return "<figure>\n" + svg + "<figcaption>" + xml_escape(caption) + "</figcaption>\n</figure>\n";
}

}  // namespace korvane::inspect
