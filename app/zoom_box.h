// The zoom box of the toolbar: an editable list of zoom levels that always shows the view's zoom.
// Choosing a level or typing one and pressing Enter asks for that zoom; afterwards the keyboard
// goes back to the main window (which hands it to its view), so that the arrow keys and "+" / "-"
// act on the view again.
#pragma once

#include <QComboBox>

class ZoomBox : public QComboBox {
  Q_OBJECT

 public:
  explicit ZoomBox(QWidget* parent = nullptr);

  // Shows the zoom (1 = 100 %) in the edit field; a typed text that cannot be read reverts to it.
  void ShowZoom(double zoom);

  void hidePopup() override;

 signals:
  void zoomChosen(double zoom);
  // The box gave the keyboard focus back to its window.
  void focusReturned();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void ChooseItem(int index);
  void ApplyTypedText();
  void ReturnFocus();

  double shownZoom_ = 1.0;
};
