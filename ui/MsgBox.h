#pragma once

#include <QString>
#include <functional>

#include "device/GuiLink.h"

class QWidget;

// Every message box of the program goes through here, so tests can read and answer them without
// a modal loop. Texts are shown as plain text; "\r" in a text breaks the line.
namespace MsgBox {

// The program's name, which its own boxes carry as their caption.
inline constexpr char kCaption[] = "KVz - 03";

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

// An error box with one OK button under the program's caption, as the report preview shows its
// failures; and a warning box likewise, for what the operator must know before going on.
void ShowError(QWidget* parent, const QString& text);
void ShowWarning(QWidget* parent, const QString& text);

// How a window, and the general handler, put a failure before the operator: an error box owned
// by the application.
void ReportError(const QString& text);

// While a hook is set, boxes are handed to it instead of being shown.
using THook = std::function<TAnswer(const TBox&)>;
void SetHook(THook hook);

}  // namespace MsgBox
