#pragma once
// The help window of "Topics": Carvox.hlp (HTML) beside the program, with the topics of
// Carvox.cnt listed on its left. When the help file is missing, the window says so.

#include <QWidget>

// Shows the help window (one per process, raised when it is already open).
void ShowHelpWindow(QWidget* parent);
