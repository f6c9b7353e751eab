#pragma once

#include <QString>
#include <functional>

#include "device/GuiLink.h"

class QWidget;

// Every message box of the program goes through here, so tests can read and answer them without
// a modal loop. Texts are shown as plain text; "\r" in a text breaks the line.
namespace MsgBox {

enum class TButtons { Ok, YesNo };
enum class TAnswer { Ok, Yes, No };

struct TBox {
  QString text;
  QString caption;
  TMsgIcon icon;
  TButtons buttons;
  bool topmost;
};

TAnswer Show(QWidget* parent, const TBox& box);

// An error box with one OK button, as the report preview shows its failures; and a warning box
// likewise, for what the operator must know before going on.
void ShowError(QWidget* parent, const QString& caption, const QString& text);
void ShowWarning(QWidget* parent, const QString& caption, const QString& text);

// While a hook is set, boxes are handed to it instead of being shown.
using THook = std::function<TAnswer(const TBox&)>;
void SetHook(THook hook);

}  // namespace MsgBox
