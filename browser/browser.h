// The class dump with its file, the handlers of the class browser, the battery
// button and the two batch commands. They work only through browser::Window.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "browser/window.h"
#include "queries/buttons.h"

namespace browser {

// Writes every property of every instance of `class_name` in root\<ns> to the
// pane and, line for line, to <info>/<file_stem>.txt (by default the entry
// selected in List1). Yields to the message pump each time its property count
// reaches a multiple of 100.
// The file replaces the old one only when the query ran and every write
// succeeded; when it cannot be written the window's DumpFileFailed is told.
void DumpWmiClass(Window& w, std::string_view title, std::string_view ns, std::string_view class_name);
void DumpWmiClass(Window& w, std::string_view title, std::string_view ns, std::string_view class_name,
                  std::string_view file_stem);

// "テスト": dumps the class selected in List1 of the namespace selected in
// List2, with List2 and Command61 disabled meanwhile.
void Command61Click(Window& w);
// A selection change in List1.
void List1Click(Window& w);
// The battery button: Win32_Battery of cimv2 through the class dump, into the
// file Win32_Battery.txt whatever List1 has selected.
void Command63Click(Window& w);

// The click of any category button, Command1 to Command60 and Command63.
void RunCategoryButton(Window& w, const queries::Button& button);

// "全自動収集": Command1 to Command60 in order with auto-clear off, yielding
// after each button and every 100 lines a button writes, so the window stays
// live; stops after the button at hand when the window asks it to.
void AllGetClick(Window& w);
// "AutoSave": selects the entries after the selected one, one by one, to the
// end of the list, yielding after each; stops after the class at hand when the
// window asks it to. Each selection dumps its class, except for the classes
// IsSkippedByAutoSave names: the walk selects them and goes on without a dump
// (no file is written).
void AutoSaveClick(Window& w);

// The classes whose dump does harm on a real machine, which the AutoSave walk
// does not dump (a user who selects one in List1 still gets its dump, which
// Esc stops):
// - every file and folder of every disk, hours of work and gigabytes of
//   text: CIM_LogicalFile, CIM_DataFile, CIM_Directory, Win32_Directory,
//   Win32_ShortcutFile, and the associations over them, CIM_DirectoryContainsFile,
//   Win32_SubDirectory, Win32_CIMLogicalDeviceCIMDataFile;
// - every record of every event log: Win32_NTLogEvent and its associations
//   Win32_NTLogEventLog, Win32_NTLogEventUser, Win32_NTLogEventComputer;
// - Win32_Product, whose enumeration makes Windows Installer check, and
//   repair, every installed product, and the associations that enumerate
//   it: Win32_ProductCheck, Win32_ProductResource, Win32_ProductSoftwareFeatures;
//   the other Installer classes, very slow: Win32_SoftwareFeature,
//   Win32_SoftwareElement, Win32_Binary, Win32_Property, Win32_Patch,
//   Win32_PatchFile, Win32_PatchPackage;
// - on a domain-joined PC every account and group of the domain:
//   Win32_Account, Win32_UserAccount, Win32_Group, Win32_GroupUser,
//   Win32_UserInDomain, Win32_GroupInDomain, Win32_SystemUsers;
// - the parents whose query returns those classes' instances with their own:
//   CIM_ManagedSystemElement, CIM_LogicalElement, CIM_Component,
//   CIM_Dependency, CIM_Product, CIM_ProductSoftwareFeatures.
// Names compare without regard to case. The walk also skips every class the
// service derives one of them from (ParentsOfSkippedClasses).
bool IsSkippedByAutoSave(std::string_view class_name);

// The classes of root\<ns> from which the service derives a class
// IsSkippedByAutoSave names, other than those it names itself: a query of one
// of them returns the harmful class's instances too. Asked once, with the
// schema query "Select * from meta_class" (each class with __CLASS and
// __SUPERCLASS); empty when the service cannot answer it (a snapshot, Linux),
// where the names alone decide.
std::vector<std::string> ParentsOfSkippedClasses(wmi::Provider& provider, std::string_view ns);

}  // namespace browser
