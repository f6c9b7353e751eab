#pragma once

#include <string>

// The folder the program keeps its files in, ending with the path separator. Empty until
// SetWorkDirs has run. Written once at start, on the GUI thread.
extern std::string WorkDir;

// The folder part of an executable's path, with exactly one separator at its end.
std::string WorkDirFromExePath(const std::string& exePath, char separator);

// Whether files can be created in folder (tried, not guessed from permission bits).
bool FolderWritable(const std::string& folder);

// Sets WorkDir once at start: the executable's own folder when the program may write there (a
// portable copy, a build folder), else the user's data folder (an installed program), which is
// created on the first save. On failure shows its own box and returns false.
bool SetWorkDirs();
// The same choice for a program living in ownFolder.
void SetWorkDirsFor(const std::string& ownFolder);

// Creates WorkDir when it is the user's data folder and does not exist yet; called before a file
// is written there.
void EnsureWorkDir();
