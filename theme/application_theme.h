// The colour scheme applied to the whole application: one palette built from the scheme's table
// and the themed style, installed application-wide so that every window, message box and dialog is
// drawn in the scheme without its own code doing anything.
#pragma once

#include <QColor>
#include <QPalette>
#include <QPixmap>
#include <QSize>
#include <QString>

// Selects `scheme` (theme/colour_scheme.h), installs the themed style unless it is already
// installed, and replaces the application palette with one built from the scheme's table. Entries
// that keep the system colour take it from the palette the platform gave before the first call.
void ApplyColourScheme(int scheme);

// Re-polishes and repaints every top-level widget and all of its children, so that widgets which
// keep colours of their own (or paint from the table) follow a scheme switched at run time.
void RecolourAllWindows();

// The scheme's colour for a table index, or the platform's colour of `fallback` where the scheme
// keeps the system colour.
QColor SchemeColour(int index, QPalette::ColorRole fallback);

// ":/images/<name>.svg" rendered at `logicalSize` for a device pixel ratio, so that it is crisp on
// any screen; a null pixmap when there is no such image. Renders are cached.
QPixmap ThemeImage(const QString& name, QSize logicalSize, qreal devicePixelRatio);

// The grey level of the image view's background: dark in the dark schemes.
int ViewBackgroundGrey();

// The colour of the application workspace (the area behind documents).
QColor WorkspaceColour();

// The one colour that is not grey: the value part of the panel's sliders and the face of the
// window's main action (a push button with the property "primary").
QColor AccentColour();
