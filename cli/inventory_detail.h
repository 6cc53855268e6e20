// What the SQLite and PostgreSQL inventories share (cli/inventory.cpp).
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/export_command.h"

namespace cli::inventory_detail {

// The CIM type a property's column takes (see inventory.cpp).
std::string PropertyType(const wmi::RecordedClass& c, std::string_view ns, const std::string& property);
// The value as its column holds it: a number, a boolean, text (a datetime in
// ISO 8601 UTC), or JSON for arrays and objects.
nlohmann::ordered_json ColumnValue(const wmi::Value& v, const std::string& type);
// Refuses names no table can hold (UsageError).
void CheckNames(const Capture& capture);
std::string Lower(std::string_view s);
// The classes and properties (name, CIM type) the machines view reads: both
// databases make them before any capture holds them, so that the view
// answers from the start.
struct ViewTable {
  std::string_view name;
  std::vector<std::pair<std::string, std::string>> properties;
};
const std::vector<ViewTable>& ViewTables();
std::string Quoted(std::string_view identifier);

}  // namespace cli::inventory_detail
