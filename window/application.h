// What the program tells the desktop about itself, and the toolkit's French texts.
#pragma once

class QCoreApplication;

// Sets the name, version, organisation and desktop id of the application,
// and installs the toolkit's French translation where the system has it.
void setUpApplication(QCoreApplication &app);
