#include "device/Vocabulary.h"

#include <iterator>
#include <stdexcept>

#include "device/Frames.h"

namespace {

struct TModeText {
  char mode;
  const char* text;
};

constexpr TModeText kModeTexts[] = {
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

constexpr const char* kMaterials[] = {"Золото 375 пробы (9kt)",
                                      "Золото 585 пробы (14kt)",
                                      "Золото 750 пробы (18kt)",
                                      "Золото 958 пробы (23kt)",
                                      "Золото 999 пробы (24kt)",
                                      "Серебро до 800 пробы",
                                      "Серебро 800 пробы и более",
                                      "Палладий",
                                      "Белое золото",
                                      "Платина и сплавы"};

}  // namespace

const char* ModeText(char mode) {
  for (const TModeText& entry : kModeTexts) {
    if (entry.mode == mode) return entry.text;
  }
  return nullptr;
}

int MaterialCount() {
  return static_cast<int>(std::size(kMaterials));
}

const char* MaterialName(int position) {
  if (position < 0 || position >= MaterialCount()) throw std::out_of_range("no such material");
  return kMaterials[position];
}

int MaterialIndex(int resultIndex) {
  return resultIndex > 1 ? resultIndex - 1 : resultIndex;
}
