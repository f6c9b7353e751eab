#include "app/ModeDisplay.h"

#include "device/Frames.h"
#include "device/Vocabulary.h"

TModeDisplay ModeDisplay(char mode) {
  TModeDisplay display;
  if (const char* text = ModeText(mode)) display.text = QString::fromUtf8(text);
  if (mode == kModeExpert)
    display.area = TResultArea::Potentials;
  else if (IsJewelleryMode(mode))
    display.area = TResultArea::Verdict;
  display.transient = IsTransientMode(mode);
  display.working = IsWorkingMode(mode);
  return display;
}
