// Where the window's dump files go: the `info` folder beside the program,
// made when missing, or, where that folder cannot be written (a program
// installed in a system folder and run by a normal user, a read-only medium),
// a folder of the user's own.
#pragma once

#include <filesystem>
#include <string>

namespace front {

struct InfoFolder {
  std::filesystem::path path;
  bool per_user = false;  // the folder beside the program could not be used
};

// The per-user folder: $XDG_DATA_HOME/pcinfo/info ($HOME/.local/share when
// XDG_DATA_HOME is unset or not absolute); %LOCALAPPDATA%\pcinfo\info on
// Windows. Empty when the environment names no such place.
std::filesystem::path PerUserInfoFolder();

// True when a file can be created in `folder` (tried with a probe file that is
// removed again), making the folder first when it is missing.
bool CanWriteFolder(const std::filesystem::path& folder);

// `beside_program` when it can be written, else `per_user` (made when
// missing; returned even when it cannot be written either).
InfoFolder ChooseInfoFolder(const std::filesystem::path& beside_program, const std::filesystem::path& per_user);

}  // namespace front
