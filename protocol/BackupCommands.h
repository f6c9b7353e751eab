#pragma once

#include <QDateTime>
#include <QString>
#include <string>

class QWidget;

// What the register window's "Резервная копия..." and "Восстановить..." do once the operator has
// chosen a folder or a copy. Both say over owner when done or what failed.

// Writes a copy of the register, and of the folder "Протоколы" beside it, into a new folder inside
// folder named for now, with a cancellable progress bar; the windows answer throughout. Nothing in
// folder is ever replaced, and a cancelled or failed copy leaves nothing. True when done.
bool BackUpRegister(QWidget* owner, const std::string& registerFile, const QString& folder,
                    const QDateTime& now);

// Checks the copy, asks whether to replace the register's protocols with it, naming how many each
// holds, keeps the register as it stood beside it, and restores. True when restored.
bool RestoreRegisterFrom(QWidget* owner, const std::string& registerFile, const QString& copyFile,
                         const QDateTime& now);
