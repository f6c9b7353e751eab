#pragma once

#include <string>

// The folder the program keeps its files in, ending with the path separator: the executable's own
// folder, or the user's data folder for an installed program. Empty until SetWorkDirs has run, and
// when it failed. Written once at start, on the GUI thread.
extern std::string WorkDir;

// The folder part of an executable's path, with exactly one separator at its end.
std::string WorkDirFromExePath(const std::string& exePath, char separator);

// Settles the folders once at start. On failure shows its own box and returns false.
bool SetWorkDirs();
// The same for a program living in ownFolder, with userFolder the user's data folder (empty when
// the system names none) and installed telling whether ownFolder is a system install folder.
// Throws std::runtime_error when an installed program has no user's folder.
void SetWorkDirsFor(const std::string& ownFolder, const std::string& userFolder, bool installed);

// The name to read the program's file name from: the user's folder's copy when there is one (the
// program had to save it there before), else WorkDir's.
std::string FileToRead(const std::string& name);
// The name to save it under: WorkDir's copy while the program may replace (or create) it and the
// user's folder has none, else the user's folder's, and that folder is made when missing.
std::string FileToWrite(const std::string& name);
// The folder FileToWrite saves the file in, not made yet when missing: the folder the operator
// finds it in from now on.
std::string FolderOf(const std::string& name);
// Removes the file from every folder it may stand in; false when a copy is left.
bool RemoveWorkFile(const std::string& name);
