// What a screen reader (AT-SPI on Linux) is told about the chrome's controls: a picture that is pressed
// is a push button named after its caption, whose default action presses it; the progress panel is a
// progress bar with its value in percent; a borderless form made of a plain widget is a window.
#pragma once

// Registers the descriptions with Qt's accessibility; idempotent. The controls call it when made.
void InstallChromeAccessibility();
