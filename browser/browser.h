// The class dump with its file, the handlers of the class browser, the battery
// button and the two batch commands. They work only through browser::Window.
#pragma once

#include <string_view>

#include "browser/window.h"
#include "queries/buttons.h"

namespace browser {

// Writes every property of every instance of `class_name` in root\<ns> to the
// pane and, line for line, to <info>/<entry selected in List1>.txt. Yields
// to the message pump each time its property count reaches a multiple of 100.
// The file replaces the old one only when the query ran and every write
// succeeded; when it cannot be written the window's DumpFileFailed is told.
void DumpWmiClass(Window& w, std::string_view title, std::string_view ns, std::string_view class_name);

// "テスト": dumps the class selected in List1 of the namespace selected in
// List2, with List2 and Command61 disabled meanwhile.
void Command61Click(Window& w);
// A selection change in List1.
void List1Click(Window& w);
// The battery button: Win32_Battery of cimv2 through the class dump.
void Command63Click(Window& w);

// The click of any category button, Command1 to Command60 and Command63.
void RunCategoryButton(Window& w, const queries::Button& button);

// "全自動収集": Command1 to Command60 in order with auto-clear off.
void AllGetClick(Window& w);
// "AutoSave": selects the entries after the selected one, one by one, to the
// end of the list, yielding after each.
void AutoSaveClick(Window& w);

}  // namespace browser
