#include "inspect/render/report_page.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "inspect/analysis/summary.h"
#include "inspect/analysis/unfolded_map.h"
#include "inspect/render/html.h"
#include "inspect/render/svg.h"
#include "inspect/render/svg_document.h"
#include "textio/errors.h"
#include "textio/format.h"

namespace korvane::inspect {
namespace {

// The page's style: no font, sheet or image from elsewhere; the system's sans-serif.
constexpr const char* style = R"(
body { font-family: "Liberation Sans", Arial, sans-serif; margin: 1.5em auto; max-width: 1240px;
       padding: 0 1em; color: #1a1a1a; background: #ffffff; line-height: 1.4; }
h1 { font-size: 1.6em; margin-bottom: 0.2em; } h2 { border-bottom: 1px solid #cccccc; }
table { border-collapse: collapse; margin: 0.6em 0 1.2em; }
caption { text-align: left; font-weight: bold; padding-bottom: 0.3em; }
th, td { border: 1px solid #d0d0d0; padding: 0.2em 0.6em; text-align: left; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
thead th { background: #f2f2f2; }
.verdict { font-size: 1.3em; font-weight: bold; padding: 0.5em 0.8em; border-radius: 4px; }
.verdict.ok { background: #e6f4ea; color: #0d652d; border: 2px solid #1e8e3e; }
.verdict.fault { background: #fce8e6; color: #a50e0e; border: 2px solid #c5221f; }
.note { color: #555555; font-size: 0.95em; }
.top { display: flex; flex-wrap: wrap; gap: 0 2.5em; align-items: flex-start; }
.summary .verdict { font-size: 1.1em; margin: 0.4em 0; }
figure { margin: 1em 0 2em; } figcaption { color: #555555; font-size: 0.95em; }
footer { border-top: 1px solid #cccccc; margin-top: 2em; padding-top: 0.5em; color: #555555; }
code { background: #f4f4f4; padding: 0 0.2em; }
)";

std::string axis_text(const FieldMap& s, int axis) {
  const int n = s.count(axis);
  return std::to_string(n) + " nodes, " + general_number(s.node(axis, 1), 10) + " .. " +
         general_number(s.node(axis, n), 10) + " m, step " + general_number(s.step(axis), 10) +
         " m";
}

std::string facts(const InspectedFile& file) {
  const FieldMap& s = file.map;
  std::vector<Row> rows = {{"format", format_name(s.format)},
                           {"field sets", describe(s.sets)},
                           {"grid", std::to_string(s.Nox) + " x " + std::to_string(s.Noy) + " x " +
                                        std::to_string(s.Noz) + " nodes"}};
  for (int a = 0; a < 3; ++a) rows.push_back({axis_names[a], axis_text(s, a)});
  const std::string planes = UnfoldedMap(s).planes();
  rows.push_back({"symmetry codes", "ksym_x = " + std::to_string(s.ksym_x) +
                                        ", ksym_y = " + std::to_string(s.ksym_y) +
                                        ", ksym_z = " + std::to_string(s.ksym_z)});
  rows.push_back({"planes kept", planes.empty() ? "none: the file holds the whole map"
                                                : planes + ": mirrored in the pictures, as the "
                                                           "beam code mirrors them"});
  if (s.has_lengths) {
    rows.push_back({"d_elm", general_number(s.d_elm, 15) + " m"});
    rows.push_back({"aper", general_number(s.aper, 15) + " m"});
  }
  const char* holds = s.k_s_EH == 1 ? ": E and H" : s.sets == FieldSets::none ? "" : ": one set";
  rows.push_back(
      {"k_s_EH", std::to_string(s.k_s_EH) + holds + (s.format == 2 ? " (from ifield)" : "")});
  return "<div>\n<h2>The file</h2>\n" + html_table("", {}, rows) + "</div>\n";
}

// The title and the verdicts, first, so that the page says at once whether the map holds.
std::string header(const ReportContext& c) {
  std::string out =
      "<header>\n<h1>" + xml_escape(printable(c.file.name)) + "</h1>\n" +
      html_paragraph(std::string("A field map read back by korvane-inspect: ") +
                         describe(c.file.map.sets) + " on " + std::to_string(c.file.map.Nox) +
                         " x " + std::to_string(c.file.map.Noy) + " x " +
                         std::to_string(c.file.map.Noz) + " nodes.",
                     "note") +
      "<div class=\"summary\">\n";
  const Verdict checks = checks_verdict(c.checks);
  out += html_verdict(checks.fault, checks.text);
  if (c.source != nullptr) {
    const Verdict source = source_verdict(*c.source, c.source_tolerance);
    out += html_verdict(source.fault, source.text);
  }
  return out + "</div>\n</header>\n";
}

std::string statistics(const InspectedFile& file) {
  const FieldMap& s = file.map;
  std::string body;
  for (const FieldSet& set : field_sets(s)) {
    const char* unit = converter_unit(s, set);
    std::vector<Row> rows;
    long non_finite = 0;
    for (int c = 0; c < 3; ++c) {
      const ComponentStats st = component_stats(s, *set.c[c]);
      non_finite += st.non_finite;
      rows.push_back({set.component(c), general_number(st.min, 7), general_number(st.max, 7),
                      general_number(st.rms, 7), general_number(st.largest, 7),
                      node_place(s, st.at), std::to_string(st.non_finite)});
    }
    Row head = {"component",
                "min",
                "max",
                "rms",
                "largest |value|",
                "at node (i, j, k), (x, y, z)",
                "NaN or infinite, left out"};
    // The last column only where a value is not a number.
    if (non_finite == 0) {
      head.pop_back();
      for (Row& row : rows) row.pop_back();
    }
    body += html_table(set.title + (unit ? std::string(" in ") + unit + ", the converter's unit"
                                         : std::string(" in the units of the file")),
                       head, rows);
  }
  if (body.empty()) body = html_paragraph("The file holds no field components.");
  return "<div id=\"statistics\">\n<h2>Statistics</h2>\n" + body + "</div>\n";
}

// The unfolded node of `map` along z that holds stored node k on the stored side.
int unfolded_z(const UnfoldedMap& map, int k) {
  for (int n = 1; n <= map.count(2); ++n) {
    if (map.stored(2, n) == k && (n == map.count(2) || map.stored(2, n + 1) == k + 1)) return n;
  }
  return 1;
}

// The x-y plane's z: where the first set's largest component peaks.
int peak_z_node(const FieldMap& s, const FieldSet& first) {
  ComponentStats best = component_stats(s, *first.c[0]);
  for (int c = 1; c < 3; ++c) {
    const ComponentStats st = component_stats(s, *first.c[c]);
    if (std::fabs(st.largest) > std::fabs(best.largest)) best = st;
  }
  return best.at[2];
}

std::string axis_figures_table(const ReportContext& c) {
  std::vector<Row> rows;
  for (const AxisFigures& f : axis_figures(UnfoldedMap(c.file.map), c.profiles)) {
    rows.push_back({f.set.letter + "z", "", "", general_number(f.fz_integral, 7), ""});
    for (const DerivativeFigures& d : f.derivatives) {
      if (d.peak == 0.0) {
        rows.push_back({d.name, "zero along the axis", "", "", ""});
        continue;
      }
      rows.push_back({d.name, general_number(d.peak, 7), general_number(d.peak_z, 7),
                      general_number(d.integral, 7), general_number(d.integral / d.peak, 7)});
    }
  }
  return html_table(
      "On the axis x = y = 0, by the trapezoidal rule over the z nodes (the "
      "integral of Fz in the file's units x m, of a derivative in the file's units)",
      {"quantity", "peak (per m)", "peak at z (m)", "integral over z", "effective length (m)"},
      rows);
}

std::string pictures(const ReportContext& c) {
  const FieldMap& s = c.file.map;
  const std::vector<FieldSet> sets = field_sets(s);
  if (sets.empty())
    return html_section("pictures", "Pictures", html_paragraph("No field components."));
  const UnfoldedMap unfolded(s);
  const int z_node = unfolded_z(unfolded, peak_z_node(s, sets[0]));
  std::string body;
  for (const FieldSet& set : sets) {
    body +=
        html_figure(plane_maps_svg(c.file, set, {z_node}, Placement::in_page),
                    set.title + " on the planes through the axis, and on the x-y plane at z = " +
                        general_number(unfolded.node(2, z_node), 4) + " m where " + sets[0].title +
                        " peaks. Each cell is a node; the colour "
                        "scale of each map runs from -max (blue) through 0 (white) to +max (red).");
  }
  for (const FieldSet& set : sets) {
    body += html_figure(axis_plot_svg(c.file, set, Placement::in_page),
                        set.title + " along z at the node nearest the axis.");
  }
  for (const AxisProfile& p : c.profiles) {
    body += html_figure(axis_gradient_svg(c.file, p.set, p.dfy_dx, p.dfx_dy, Placement::in_page),
                        "The transverse derivatives of " + p.set.title + " on the axis.");
  }
  body += html_paragraph(c.axis_note, "note");
  if (!c.profiles.empty()) body += axis_figures_table(c);
  return html_section("pictures", "Pictures", body);
}

}  // namespace

std::string report_page(const ReportContext& c) {
  const std::string name = printable(c.file.name);
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
      xml_escape(name) + " - korvane-inspect</title>\n<style>" + style +
      "</style>\n</head>\n<body>\n";
  page += header(c);
  page += "<div class=\"top\">\n" + facts(c.file) + statistics(c.file) + "</div>\n";
  page += checks_section(c.file, c.checks);
  if (c.source != nullptr && c.table != nullptr) {
    page += source_section(*c.source, *c.table, c.source_tolerance);
  }
  page += pictures(c);
  page += "<footer>\n" +
          html_paragraph(std::string("Written by korvane-inspect ") + KORVANE_VERSION + " with") +
          "<p><code>" + xml_escape(c.command) + "</code></p>\n</footer>\n</body>\n</html>\n";
  return page;
}

}  // namespace korvane::inspect
