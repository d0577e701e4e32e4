#pragma once
// The main program's one string table: every text it shows is looked up here by id.

#include <QString>
#include <QWidget>
#include <initializer_list>
#include <string>
#include <utility>

#include "app/internal/Resource.h"
#include "platform/prompt/Prompt.h"

// The text of `id`; empty for an id the table does not hold.
QString LoadText(unsigned id);
// A command's status-bar prompt (the text before "\n") and its tooltip (after it).
QString CommandPrompt(unsigned id);
QString CommandTip(unsigned id);
// The text of `id` filled in printf-style (its formats are the table's own).
std::string FormatText(unsigned id, ...);
// Shows the text of `id` through the installed prompt, with the program's caption.
int ShowMessage(unsigned id, unsigned type);
// Gives each widget the accessible name and description of its text id, written
// "name\ndescription".
void DescribeForAccessibility(std::initializer_list<std::pair<QWidget*, unsigned>> widgets);
