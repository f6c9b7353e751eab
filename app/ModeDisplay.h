#pragma once

#include <QString>

// Where the main window shows a measurement made in a mode.
enum class TResultArea { None, Potentials, Verdict };

// How the main window shows one of the detector's modes.
struct TModeDisplay {
  QString text;  // empty for a character the detector does not send
  TResultArea area = TResultArea::None;
  bool transient = false;  // shown for a moment, then the last working mode again
  bool working = false;    // measured in; a transient state returns to the last of these

  bool operator==(const TModeDisplay&) const = default;
};

TModeDisplay ModeDisplay(char mode);
