#pragma once

#include <QWidget>

namespace platform {

// The application's main form: the form that start-up creates first and whose
// closing ends the program. Until start-up names it there is none, and the
// toolkit then falls back to what it does without a main form (the primary
// screen's work area, a form's own active flag).
QWidget *mainForm();
void setMainForm(QWidget *form);

} // namespace platform
