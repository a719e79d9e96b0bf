// The pieces korvane-inspect's page is written with: tables, verdicts and sections, every
// text escaped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvane::inspect {

// One row of a table: each cell's text escaped, in <th> cells for a head row.
using Row = std::vector<std::string>;

// A <table> with an escaped caption (none when empty), a head row and the rows; a cell that
// is one number is set right-aligned.
std::string html_table(std::string_view caption, const Row& head, const std::vector<Row>& rows);

// The verdict of a check: a paragraph set in green, or in red for a fault, holding `text`.
std::string html_verdict(bool fault, std::string_view text);

// <p> holding `text`, escaped.
std::string html_paragraph(std::string_view text, std::string_view css_class = "");

// A <section> with its id and an <h2> heading, around `body` (HTML already).
std::string html_section(std::string_view id, std::string_view heading, const std::string& body);

// A <figure> around an inline SVG picture, with its caption escaped.
std::string html_figure(const std::string& svg, std::string_view caption);

}  // namespace korvane::inspect
