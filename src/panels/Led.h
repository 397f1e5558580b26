// A status lamp: one picture control showing a red or a green image, or
// nothing.
//
// Two faces: the firmware step lamps (15 x 15, a round lamp on a grey
// 192,192,192 background showing in the corners) and the panel lamps
// (8 x 10, a rectangle with a one-pixel black border). Both are drawn here.
// States: 0 hidden, 1 red, 2 green; any other value is stored and changes
// nothing on screen. A hidden lamp keeps its place in the layout.
//
// Threading: window thread only.
#pragma once

#include <QWidget>

class CLed : public QWidget {
  Q_OBJECT

 public:
  enum Face { StepLamp, PanelLamp };
  enum State { Hidden = 0, Red = 1, Green = 2 };

  explicit CLed(Face face, QWidget* parent = nullptr);
  void SetState(int state);
  int GetState() const { return m_nState; }
  // The colour the lamp shows now (state 1 or 2 last applied); 0 when hidden.
  int GetShownColour() const { return isHidden() ? 0 : m_nShown; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Face m_face;
  int m_nState = Hidden;
  int m_nShown = Hidden;
};
