#include "app/ModeDisplay.h"

#include "device/Frames.h"

namespace {

struct TModeText {
  char mode;
  const char* text;
};

const TModeText kModeTexts[] = {
    {kModeCheck, "Выполняется проверка зонда"},
    {kModeExpert, "Режим \"Экспертный\""},
    {kModePowerOff, "Питание выключено"},
    {kModeNoProbe, "Зонд не подключен!"},
    {kModeReady, "Готов"},
    {kModeMeasuring, "Выполняется измерение..."},
    {kModeWhite, "Режим \"Ювелирный - белый сплав\""},
    {kModeError, "Ошибка при измерении!"},
    {kModeYellow, "Режим \"Ювелирный - желтый сплав\""},
};

}  // namespace

TModeDisplay ModeDisplay(char mode) {
  TModeDisplay display;
  for (const TModeText& entry : kModeTexts) {
    if (entry.mode == mode) display.text = QString::fromUtf8(entry.text);
  }
  if (mode == kModeExpert)
    display.area = TResultArea::Potentials;
  else if (IsJewelleryMode(mode))
    display.area = TResultArea::Verdict;
  display.transient = IsTransientMode(mode);
  display.working = IsWorkingMode(mode);
  return display;
}
