#pragma once

#include <string>

// The program's folder, ending with the path separator; every file the program keeps lives here.
// Empty until SetWorkDirs has run. Written once at start, on the GUI thread.
extern std::string WorkDir;

// The folder part of an executable's path, with exactly one separator at its end.
std::string WorkDirFromExePath(const std::string& exePath, char separator);

// Sets WorkDir from the running executable. On failure shows its own box and returns false.
bool SetWorkDirs();
