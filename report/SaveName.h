#pragma once

#include <QString>

// The name the preview saves under: a name without a protocol's or a PDF's ending (in any letter
// case) gets that of the kind chosen in the file dialog, so that it is written as that kind.
QString CompleteSaveName(const QString& fileName, bool protocolFile);
