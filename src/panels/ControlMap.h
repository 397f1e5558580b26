// One dialog's controls by their numeric IDs: the widget side of
// IDialogView shared by the main window and its panels.
//
// Each registered widget carries its ID in the dynamic property "ctrlId" and
// an accessible name (its caption, or the text of the label that names it).
// A caption's mnemonic ('&') is kept unique within the map: a caption whose
// letter another control already marks marks its first free letter instead.
// A group box is the parent of the controls it frames, so they lie above
// it (they take the pointer, a filled frame does not hide them), its
// mnemonic reaches them and a screen reader finds them inside it. Enabling
// or disabling a group box still must not change its contents, because the
// window's rules enable a group's frame and its controls one by one (an
// abort button stays usable inside a disabled group): a group box made by
// Framed() only greys its title (see CFrameBox).
//
// Focus: a dialog control keeps the focus while it is disabled, so the
// window's keys still act by its ID (Enter in the disabled string box aborts
// the string transfer) and it has the focus when it is enabled again. Qt
// instead moves the focus on to the next control, where typing would act
// on a control the operator never chose. So disabling the focused control
// parks the focus on the owner and FocusId answers the parked ID until the
// focus moves elsewhere; enabling that control again gives the focus back.
//
// Threading: window thread only.
#pragma once

#include <QString>
#include <QWidget>
#include <map>
#include <string>

class QGridLayout;
class CFrameBox;
class QLayout;

class CControlMap {
 public:
  explicit CControlMap(QWidget* owner) : m_pOwner(owner) {}

  // Registers w under id with its accessible name (empty: the widget's own
  // caption). Returns w.
  template <class T>
  T* Add(int id, T* w, const QString& accessibleName = QString()) {
    Register(id, w, accessibleName);
    return w;
  }
  QWidget* Find(int id) const;
  template <class T>
  T* Get(int id) const {
    return qobject_cast<T*>(Find(id));
  }
  const std::map<int, QWidget*>& All() const { return m_controls; }

  int Enable(int id, int enable);
  int IsEnabled(int id) const;
  void Show(int id, int show);
  int IsVisible(int id) const;
  void SetText(int id, const std::string& text);
  std::string GetText(int id) const;
  int FocusId() const;
  void SetFocus(int id);

  // The ID of w or of its nearest registered ancestor in this map; 0 if none.
  int IdOf(const QWidget* w) const;

  // Puts a group box frame at a grid cell and returns it: what the frame
  // shows goes into it (its children, laid out inside its border,
  // kFrameInset pixels in from each side).
  static constexpr int kFrameInset = 6;
  static QWidget* Framed(QGridLayout* grid, CFrameBox* box, int row, int col, int rowSpan = 1,
                         int colSpan = 1);
  // The margins of the layout a frame's contents take.
  static void InsetInFrame(QLayout* inside);

 private:
  void Register(int id, QWidget* w, const QString& accessibleName);
  // caption, its '&' moved to a letter no other control here marks.
  QString UniqueMnemonic(const QWidget* w, const QString& caption) const;

  QWidget* m_pOwner;
  std::map<int, QWidget*> m_controls;
  int m_nParkedFocus = 0;  // the disabled control that holds the focus
};

// Texts between the fields (bytes: the program's texts, and file names as
// the file system and the command line hold them) and the controls, in the
// local encoding. Bytes that do not decode in it (a Latin-1 file name under
// a UTF-8 locale) become one lone surrogate each, U+DC80..U+DCFF, which
// BytesOf turns back into the same byte: any name the file system holds
// survives the trip through a control and still opens.
QString Qs(const std::string& s);
std::string BytesOf(const QString& text);
