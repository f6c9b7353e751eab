#pragma once

// The program's version as the windows show it.
inline constexpr char kProgramVersion[] = "1.006.27.03.2013";
