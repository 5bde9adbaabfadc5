#include "controls/progress_dlg.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "controls/control_message.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"

namespace {

QFont TemplateFont() {
  QFont font;
  font.setFamilies({QString::fromUtf8("돋움체"), QStringLiteral("DotumChe"),
                    QStringLiteral("Noto Sans Mono CJK KR")});
  font.setPointSize(9);
  return font;
}

QProgressBar* MakeBar(int id, QWidget* parent) {
  auto* bar = new QProgressBar(parent);  // owned by parent
  SetControlId(bar, id);
  bar->setTextVisible(false);
  bar->setRange(0, 100);
  bar->setValue(0);
  return bar;
}

}  // namespace

QRect CProgressDlg::DialogUnitsToPixels(const QFont& font, const QRect& dialogUnits) {
  QFontMetrics metrics(font);
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int baseX = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
  const int baseY = metrics.height();
  auto x = [baseX](int v) { return (v * baseX * 2 + 4) / 8; };  // v * baseX / 4, rounded
  auto y = [baseY](int v) { return (v * baseY + 4) / 8; };
  return QRect(x(dialogUnits.x()), y(dialogUnits.y()), x(dialogUnits.width()),
               y(dialogUnits.height()));
}

CProgressDlg::CProgressDlg(QWidget* parent, unsigned langId)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  SetControlId(this, IDD_PROGRESS);
  const QFont font = TemplateFont();
  setFont(font);
  setWindowTitle(QStringLiteral("TAT File Download"));
  setModal(false);
  setFixedSize(DialogUnitsToPixels(font, QRect(0, 0, 317, 73)).size());

  m_status = new QLabel(QStringLiteral("Static"), this);
  m_status->setTextFormat(Qt::PlainText);  // file names from the card
  SetControlId(m_status, IDC_PROGRESS_STATUS);
  m_status->setGeometry(DialogUnitsToPixels(font, QRect(5, 5, 310, 8)));
  m_fileBar = MakeBar(IDC_PROGRESS_FILE, this);
  m_fileBar->setGeometry(DialogUnitsToPixels(font, QRect(5, 15, 310, 14)));
  m_overallBar = MakeBar(IDC_PROGRESS_OVERALL, this);
  m_overallBar->setGeometry(DialogUnitsToPixels(font, QRect(5, 35, 310, 14)));
  m_cancel = new QPushButton(this);
  SetControlId(m_cancel, IDC_PROGRESS_CANCEL);
  m_cancel->setGeometry(DialogUnitsToPixels(font, QRect(245, 55, 70, 14)));
  m_cancel->setAutoDefault(false);
  m_cancel->setText(LoadString(IDS_CANCEL_EN, UiLanguageFromLangId(langId)));
  connect(m_cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
  // The main window's dark skin: near-black panels, light text, the orange accent.
  setStyleSheet(QStringLiteral(
      "QDialog { background: rgb(24, 26, 31); }"
      "QLabel { color: rgb(230, 230, 230); }"
      "QProgressBar { background: rgb(10, 11, 14); border: 1px solid rgb(62, 66, 76);"
      " border-radius: 2px; }"
      "QProgressBar::chunk { background: rgb(247, 88, 46); }"
      "QPushButton { background: rgb(44, 48, 56); color: rgb(235, 235, 235);"
      " border: 1px solid rgb(72, 76, 86); border-radius: 3px; }"
      "QPushButton:hover { background: rgb(58, 62, 72); }"
      "QPushButton:pressed { background: rgb(247, 88, 46); color: white; }"));
}

void CProgressDlg::SetStatusText(const QString& text) { m_status->setText(text); }

// Escape acts as Cancel and Enter does nothing: the export, not the user, hides the window.
void CProgressDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      OnCancel();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}
