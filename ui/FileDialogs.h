#pragma once

#include <QString>

class QWidget;

// Qt's own file dialogs, which tell a file's type by its name alone. Qt's default reads a file
// whose name does not tell its type, and on Linux closing that read drops every lock the program
// holds on the file: a dialog that lists the working folder would take SQLite's locks off the
// open register, and another instance could then checkpoint and delete its log under it.
QString ChooseFolder(QWidget* owner, const QString& caption, const QString& folder);
QString ChooseFileToOpen(QWidget* owner, const QString& caption, const QString& folder,
                         const QString& filter);
