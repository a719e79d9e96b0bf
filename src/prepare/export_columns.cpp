#include "prepare/export_columns.h"

#include <cctype>

#include "prepare/export_records.h"
#include "textio/errors.h"
#include "textio/token_scanner.h"

namespace korvane::prepare {
namespace {

struct Title {
  std::string name;
  std::string unit;
};

// Splits "x [mm]  ExRe[V/m] Area" into titles with their bracketed units.
std::vector<Title> split_titles(std::string_view line) {
  std::vector<Title> titles;
  TokenScanner scanner(line);
  std::string_view token;
  std::string* open_unit = nullptr;  // a unit whose closing bracket is still to come
  while (scanner.next_token(token)) {
    if (open_unit) {
      // Blanks inside the brackets ("[ V/m ]") separate words of the unit, never pad it.
      const std::size_t close = token.find(']');
      const std::string_view piece = token.substr(0, close);
      if (!open_unit->empty() && !piece.empty()) *open_unit += ' ';
      *open_unit += piece;
      if (close != std::string_view::npos) open_unit = nullptr;
      continue;
    }
    const std::size_t open = token.find('[');
    if (open != 0) titles.push_back({std::string(token.substr(0, open)), ""});
    if (open == std::string_view::npos) continue;
    if (titles.empty()) titles.push_back({"", ""});
    std::string_view rest = token.substr(open + 1);
    const std::size_t close = rest.find(']');
    titles.back().unit = std::string(rest.substr(0, close));
    if (close == std::string_view::npos) open_unit = &titles.back().unit;
  }
  return titles;
}

// Splits "#x [mm];y [mm];ExRe [V/m];Area 1" into titles: one a field between the ';', the
// words before its brackets the name, the words inside them the unit.
std::vector<Title> split_semicolon_titles(std::string_view line) {
  const std::size_t text = line.find_first_not_of(" \t");
  if (text != std::string_view::npos && line[text] == '#') line.remove_prefix(text + 1);
  std::vector<Title> titles;
  for_each_semicolon_field(line, [&titles](std::string_view field, std::size_t) {
    const std::size_t open = field.find('[');
    std::string_view name = field.substr(0, open);
    while (!name.empty() && is_blank(name.back())) name.remove_suffix(1);
    std::string unit;
    if (open != std::string_view::npos) {
      // Blanks inside the brackets separate words of the unit, as in the blank-separated
      // header.
      const std::string_view inside = field.substr(open + 1, field.find(']', open) - open - 1);
      TokenScanner words(inside);
      for (std::string_view word; words.next_token(word);) {
        if (!unit.empty()) unit += ' ';
        unit += word;
      }
    }
    titles.push_back({std::string(name), unit});
  });
  return titles;
}

bool equal_folded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

int axis_of(char c) {
  switch (std::tolower(static_cast<unsigned char>(c))) {
    case 'x':
      return 0;
    case 'y':
      return 1;
    case 'z':
      return 2;
    default:
      return -1;
  }
}

[[noreturn]] void refuse(std::string_view titles, const std::string& why) {
  throw Refusal("the header " + quoted_token(titles) + " " + why);
}

}  // namespace

const char* field_letter(FieldKind kind) {
  switch (kind) {
    case FieldKind::electric:
      return "E";
    case FieldKind::field_strength:
      return "H";
    case FieldKind::flux_density:
      return "B";
  }
  return "?";
}

std::optional<LengthUnit> find_length_unit(std::string_view name) {
  const std::optional<LengthUnitInfo> unit = find_length_unit_info(name);
  if (!unit) return std::nullopt;
  return LengthUnit{std::string(name), unit->metres};
}

std::optional<FieldUnit> find_field_unit(std::string_view name) {
  const std::optional<FieldUnitInfo> unit = find_field_unit_info(name);
  if (!unit) return std::nullopt;
  return FieldUnit{std::string(name), unit->kind, unit->fscale, unit->meaning};
}

ColumnLayout read_header(std::string_view line, Separator separator) {
  const std::vector<Title> titles =
      separator == Separator::blanks ? split_titles(line) : split_semicolon_titles(line);
  ColumnLayout layout;
  layout.from_header = true;
  layout.separator = separator;
  layout.values = static_cast<int>(titles.size());
  auto take = [&](int& slot, int column, const std::string& name) {
    if (slot >= 0) refuse(line, "names " + quoted_token(name) + " twice");
    slot = column;
  };
  auto same_unit = [&](std::string& kept, const std::string& unit, const char* what) {
    if (unit.empty()) return;
    if (!kept.empty() && kept != unit) {
      refuse(line, std::string("gives the ") + what + " in two units, " + quoted_token(kept) +
                       " and " + quoted_token(unit));
    }
    kept = unit;
  };
  for (int column = 0; column < layout.values; ++column) {
    const Title& t = titles[static_cast<std::size_t>(column)];
    const std::string& name = t.name;
    if (name.size() == 1 && axis_of(name[0]) >= 0) {
      take(layout.coordinate[axis_of(name[0])], column, name);
      same_unit(layout.length_unit, t.unit, "coordinates");
      continue;
    }
    const bool component_form = (name.size() == 2 || name.size() == 4) &&
                                (name[0] == 'E' || name[0] == 'H' || name[0] == 'B') &&
                                axis_of(name[1]) >= 0;
    const std::string_view part = component_form ? std::string_view(name).substr(2) : "";
    if (!component_form ||
        !(part.empty() || equal_folded(part, "re") || equal_folded(part, "im"))) {
      layout.ignored.push_back(t.unit.empty() ? name : name + " [" + t.unit + "]");
      continue;
    }
    const FieldKind kind = name[0] == 'E'   ? FieldKind::electric
                           : name[0] == 'H' ? FieldKind::field_strength
                                            : FieldKind::flux_density;
    if (layout.kind && *layout.kind != kind) {
      refuse(line, std::string("names two fields at once, ") + field_letter(*layout.kind) +
                       " and " + field_letter(kind) + "; export one field a file");
    }
    layout.kind = kind;
    const int axis = axis_of(name[1]);
    take(equal_folded(part, "im") ? layout.imaginary[axis] : layout.real[axis], column, name);
    same_unit(layout.field_unit, t.unit, "field");
  }
  if (layout.coordinate[0] < 0 || layout.coordinate[1] < 0 || layout.coordinate[2] < 0) {
    refuse(line, "does not name the three coordinates x, y and z");
  }
  if (!layout.kind) refuse(line, "names no field (columns such as Ex or HxRe)");
  const bool real_complete = layout.real[0] >= 0 && layout.real[1] >= 0 && layout.real[2] >= 0;
  const int imaginary_found =
      (layout.imaginary[0] >= 0) + (layout.imaginary[1] >= 0) + (layout.imaginary[2] >= 0);
  if (!real_complete || (imaginary_found != 0 && imaginary_found != 3)) {
    refuse(line, "does not name all three components of each part of the field");
  }
  if (imaginary_found == 3) {
    const int* re = layout.real;
    const int* im = layout.imaginary;
    if (re[1] == re[0] + 1 && re[2] == re[0] + 2 && im[0] == re[0] + 3 && im[1] == re[0] + 4 &&
        im[2] == re[0] + 5) {
      layout.parts = PartLayout::blocked;
    } else if (im[0] == re[0] + 1 && re[1] == re[0] + 2 && im[1] == re[0] + 3 &&
               re[2] == re[0] + 4 && im[2] == re[0] + 5) {
      layout.parts = PartLayout::interleaved;
    } else {
      layout.parts = PartLayout::other;
    }
  }
  return layout;
}

ColumnLayout headerless_layout(int values, Separator separator) {
  if (values < 6) {
    throw Refusal("the first record holds " + std::to_string(values) +
                  " values; korvane-prepare needs x, y, z and the three components");
  }
  ColumnLayout layout;
  layout.values = values;
  layout.separator = separator;
  for (int axis = 0; axis < 3; ++axis) {
    layout.coordinate[axis] = axis;
    layout.real[axis] = 3 + axis;
    if (values >= 9) layout.imaginary[axis] = 6 + axis;
  }
  layout.parts = values >= 9 ? PartLayout::blocked : PartLayout::real_only;
  return layout;
}

std::string describe_layout(const ColumnLayout& layout) {
  std::string text = std::to_string(layout.values) + " columns, ";
  switch (layout.parts) {
    case PartLayout::real_only:
      text += "real parts only";
      break;
    case PartLayout::blocked:
      text += "real and imaginary parts blocked (XRe YRe ZRe XIm YIm ZIm)";
      break;
    case PartLayout::interleaved:
      text += "real and imaginary parts interleaved (XRe XIm YRe YIm ZRe ZIm)";
      break;
    case PartLayout::other:
      text += "real and imaginary parts in their own order";
      break;
  }
  if (layout.separator == Separator::semicolons) text += ", separated by ';'";
  text += layout.from_header ? ", from the header" : ", no header";
  return text;
}

}  // namespace korvane::prepare
