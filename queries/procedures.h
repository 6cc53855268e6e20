// The category procedures: the fixed-list procedure and the two
// all-properties procedures, plus the walk they share.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "queries/buttons.h"
#include "queries/host.h"
#include "queries/property_list.h"
#include "wmi/provider.h"

namespace queries {

inline constexpr std::string_view kCimv2Moniker = "winmgmts:\\\\.\\root\\cimv2";

// Connects, runs the query and calls `each` for every instance in delivery
// order. Returns false, having called nothing, when connecting, the query or
// the first enumeration step failed; a failure later in the walk ends it.
bool ForEachInstance(wmi::Provider& provider, std::string_view moniker,
                     const std::function<std::unique_ptr<wmi::ResultSet>(wmi::Connection&)>& query,
                     const std::function<void(const wmi::Instance&)>& each);

// Clears the pane when auto-clear is on, then appends the caption's header.
void BeginOutput(Host& host, std::string_view caption);

// The lines of one property list for one instance, entry by entry.
void PrintEntries(Pane& pane, const wmi::Instance& instance, PropertyList list);

void RunFixedList(Host& host, const Button& button);
void RunAllPropertiesNullMarker(Host& host, const Button& button);
void RunAllPropertiesText(Host& host, const Button& button);

// Runs the button's procedure. A ClassDump button is the class browser's to
// run (browser::RunCategoryButton); here it runs nothing.
void RunButton(Host& host, const Button& button);

}  // namespace queries
