// The small modeless window shown while recordings are exported: a status line, a bar for
// the current file, a bar for the whole export and Cancel. It does no work itself: Cancel
// only clears the active flag that the export polls.
#pragma once

#include <QDialog>
#include <QRect>
#include <atomic>

class QFont;
class QLabel;
class QProgressBar;
class QPushButton;

class CProgressDlg : public QDialog {
 public:
  // Built hidden from the dialog template's layout. langId: the user's default language
  // identifier; its primary language chooses the text of Cancel.
  CProgressDlg(QWidget* parent, unsigned langId);

  void SetStatusText(const QString& text);
  // The bars belong to the dialog. GUI thread.
  QProgressBar* FileBar() const { return m_fileBar; }
  QProgressBar* OverallBar() const { return m_overallBar; }

  // True while the export may go on: after construction and after SetActive(true); false
  // after Cancel. Any thread.
  bool IsActive() const { return m_active.load(); }
  void SetActive(bool active) { m_active.store(active); }

  // Template rectangle in dialog units to pixels for font: x * average character width / 4,
  // y * character height / 8.
  static QRect DialogUnitsToPixels(const QFont& font, const QRect& dialogUnits);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnCancel() { m_active.store(false); }

  QLabel* m_status = nullptr;
  QProgressBar* m_fileBar = nullptr;
  QProgressBar* m_overallBar = nullptr;
  QPushButton* m_cancel = nullptr;
  std::atomic<bool> m_active{true};  // written on the GUI thread, read by the export thread
};
