#include "theme/application_theme.h"

#include <QApplication>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>
#include <QToolTip>
#include <QWidget>

#include "theme/colour_scheme.h"
#include "theme/themed_style.h"

namespace {

QColor ColourFromColorRef(int32_t value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

// What "keep the system colour" means: the application palette before the first scheme replaced
// it.
const QPalette& SystemPalette() {
  static const QPalette palette = QApplication::palette();
  return palette;
}

struct PaletteEntry {
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
  int index;
};

// Window text sits on the face colour in this program's windows, so it takes the button text
// colour; the window text colour is for text on the window colour (edits, lists). Light and dark
// edges are what the themed style draws flat borders with.
constexpr PaletteEntry kPaletteEntries[] = {
    {QPalette::All, QPalette::Window, kColourButtonFace},
    {QPalette::All, QPalette::Button, kColourButtonFace},
    {QPalette::All, QPalette::AlternateBase, kColourButtonFace},
    {QPalette::All, QPalette::Base, kColourWindow},
    {QPalette::All, QPalette::ToolTipBase, kColourWindow},
    {QPalette::All, QPalette::Text, kColourWindowText},
    {QPalette::All, QPalette::ToolTipText, kColourWindowText},
    {QPalette::All, QPalette::WindowText, kColourButtonText},
    {QPalette::All, QPalette::ButtonText, kColourButtonText},
    {QPalette::All, QPalette::HighlightedText, kColourButtonText},
    {QPalette::All, QPalette::Highlight, kColourButtonHighlight},
    {QPalette::All, QPalette::Light, kColourButtonHighlight},
    {QPalette::All, QPalette::Midlight, kColourLight},
    {QPalette::All, QPalette::Mid, kColourButtonShadow},
    {QPalette::All, QPalette::Dark, kColourButtonShadow},
    {QPalette::All, QPalette::Shadow, kColourDarkShadow},
    {QPalette::All, QPalette::PlaceholderText, kColourGreyText},
    {QPalette::Disabled, QPalette::Text, kColourGreyText},
    {QPalette::Disabled, QPalette::WindowText, kColourGreyText},
    {QPalette::Disabled, QPalette::ButtonText, kColourGreyText},
    {QPalette::Disabled, QPalette::HighlightedText, kColourGreyText},
};

QPalette SchemePalette() {
  QPalette palette = SystemPalette();
  for (const PaletteEntry& entry : kPaletteEntries) {
    const int32_t value = ThemedColour(entry.index);
    if (value != kSystemColour)
      palette.setColor(entry.group, entry.role, ColourFromColorRef(value));
  }
  return palette;
}

// The application tells existing widgets of a new palette only while its event loop runs; the
// notification is sent here as well, so that a switch before or outside the loop reaches them too.
void Recolour(QWidget* widget) {
  QEvent paletteChange(QEvent::ApplicationPaletteChange);
  QApplication::sendEvent(widget, &paletteChange);
  QStyle* style = widget->style();
  style->unpolish(widget);
  style->polish(widget);
  widget->update();
}

// Tool tips keep a palette of their own, taken from the desktop's theme at start-up.
void InstallPalette(const QPalette& palette) {
  QApplication::setPalette(palette);
  QToolTip::setPalette(palette);
}

}  // namespace

void ApplyColourScheme(int scheme) {
  SystemPalette();  // taken before the first scheme palette replaces it
  SetColourScheme(scheme);
  if (!qobject_cast<ThemedStyle*>(QApplication::style())) QApplication::setStyle(new ThemedStyle);
  InstallPalette(SchemePalette());
}

void RecolourAllWindows() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    Recolour(window);
    for (QWidget* child : window->findChildren<QWidget*>()) Recolour(child);
  }
}

QColor SchemeColour(int index, QPalette::ColorRole fallback) {
  const int32_t value = ThemedColour(index);
  if (value == kSystemColour) return SystemPalette().color(QPalette::Active, fallback);
  return ColourFromColorRef(value);
}

QPixmap ThemeImage(const QString& name, QSize logicalSize, qreal devicePixelRatio) {
  const QString key = QStringLiteral("stillgrain-theme:%1:%2x%3@%4")
                          .arg(name)
                          .arg(logicalSize.width())
                          .arg(logicalSize.height())
                          .arg(devicePixelRatio);
  QPixmap pixmap;
  if (QPixmapCache::find(key, &pixmap)) return pixmap;
  QSvgRenderer renderer(QStringLiteral(":/images/%1.svg").arg(name));
  if (!renderer.isValid() || logicalSize.isEmpty()) return {};
  pixmap = QPixmap(logicalSize * devicePixelRatio);
  pixmap.fill(Qt::transparent);
  {
    QPainter painter(&pixmap);
    renderer.render(&painter);
  }
  pixmap.setDevicePixelRatio(devicePixelRatio);
  QPixmapCache::insert(key, pixmap);
  return pixmap;
}

int ViewBackgroundGrey() {
  const int scheme = CurrentColourScheme();
  return scheme == 2 || scheme == 3 ? 35 : 190;
}

QColor WorkspaceColour() { return SchemeColour(kColourAppWorkspace, QPalette::Dark); }

QColor AccentColour() { return QColor(101, 135, 168); }
