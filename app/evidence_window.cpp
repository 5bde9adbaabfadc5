// The evidence package from the window's side: the row menu's entry asks for a folder
// ("EvidenceFolderDialog"), makes a new "evidence-YYYYMMDD-HHMMSS" folder in it (never one
// that is there), and the evidence controller makes the package into it on its own thread
// while playback goes on; a progress dialog with Cancel shows meanwhile, and a message at
// the end says where the package is and whether it is complete. GUI thread only.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>
#include <system_error>

#include "app/main_window.h"
#include "app/viewer_config.h"
#include "controls/progress_dlg.h"
#include "platform/time_left.h"
#include "resources/resource_ids.h"

namespace {

constexpr int kBarSteps = 1000;  // the bar's range: thousandths of the package

// A new folder "evidence-STAMP" in parent ("-2", "-3", ... after it when that is there);
// empty with *why when none can be made.
QString MakeEvidenceFolder(const QString& parent, QString* why) {
  namespace fs = std::filesystem;
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  for (int n = 1; n < 100; ++n) {
    QString name = QStringLiteral("evidence-") + stamp;
    if (n > 1) name += QStringLiteral("-%1").arg(n);
    const QString path = QDir(parent).filePath(name);
    std::error_code error;
    if (fs::create_directory(fs::path(QFile::encodeName(path).toStdString()), error)) return path;
    if (error) {
      *why = QDir::toNativeSeparators(path) + QStringLiteral(": ") +
             QString::fromLocal8Bit(error.message());
      return {};
    }
    // There already: the next number.
  }
  *why = QDir::toNativeSeparators(parent);
  return {};
}

}  // namespace

void CZarezeRadidaDlg::ConnectEvidenceControls() {
  m_evidenceProgress = std::make_unique<CProgressDlg>(this, m_langId);
  CProgressDlg* progress = m_evidenceProgress.get();
  progress->setObjectName(QStringLiteral("EvidenceProgress"));
  progress->setWindowTitle(PickText(m_language, "증거 패키지 만들기", "Making the evidence package",
                                    "証拠パッケージの作成"));
  // One bar: the whole package, its steps named above it.
  progress->FileBar()->hide();
  progress->OverallBar()->setRange(0, kBarSteps);
  m_evidence.SetGoOn([progress] { return progress->IsActive(); });
  connect(&m_evidence, &CEvidenceController::progress, this,
          [this, progress](const QString& step, double done) {
            // The MP4s, re-encoded above all, take minutes on long recordings: say how long.
            const std::string left =
                TimeLeftText(static_cast<double>(m_evidenceStarted.elapsed()) / 1000.0, done);
            progress->SetStatusText(
                left.empty() ? step
                             : step + QStringLiteral("   ") +
                                   PickText(m_language, "남은 시간 %1", "%1 left", "残り %1")
                                       .arg(QString::fromStdString(left)));
            progress->OverallBar()->setValue(static_cast<int>(done * kBarSteps));
          });
  connect(&m_evidence, &CEvidenceController::finished, this,
          [this, progress](const QString& folder, bool complete, bool cancelled,
                           const QString& failure) {
            progress->hide();
            ShowEvidenceDone(folder, complete, cancelled, failure);
          });
}

void CZarezeRadidaDlg::ShowEvidenceDone(const QString& folder, bool complete, bool cancelled,
                                        const QString& failure) {
  const QString where = QDir::toNativeSeparators(folder);
  QString text;
  if (complete) {
    text = PickText(m_language, "증거 패키지를 만들었습니다.\n폴더: %1",
                    "Evidence package complete.\nFolder: %1",
                    "証拠パッケージを作成しました。\nフォルダー: %1")
               .arg(where);
  } else if (cancelled) {
    text = PickText(m_language, "증거 패키지를 취소했습니다. 완전하지 않습니다 (SHA256SUMS 없음).\n폴더: %1",
                    "Evidence package cancelled: incomplete (no SHA256SUMS).\nFolder: %1",
                    "証拠パッケージを取り消しました。不完全です (SHA256SUMS なし)。\nフォルダー: %1")
               .arg(where);
  } else {
    text = PickText(m_language, "증거 패키지가 완전하지 않습니다: %2\n폴더: %1",
                    "Evidence package incomplete: %2\nFolder: %1",
                    "証拠パッケージは不完全です: %2\nフォルダー: %1")
               .arg(where, failure);
  }
  ShowFolderMessage(complete ? QMessageBox::Information : QMessageBox::Warning,
                    QStringLiteral("EvidenceDoneMessage"), text, folder);
}

bool CZarezeRadidaDlg::ChooseEvidenceFolder(std::vector<Recording> recordings) {
  if (m_evidence.IsBusy() || recordings.empty()) return false;
  if (!AskTargetFolder(PickText(m_language, "증거 패키지를 만들 폴더", "Folder for the evidence package",
                                "証拠パッケージのフォルダー"),
                       QStringLiteral("EvidenceFolderDialog"))) {
    return false;
  }
  // The dialog was modal: another package may have begun from a second menu meanwhile.
  if (m_evidence.IsBusy()) return false;

  QString why;
  const QString folder = MakeEvidenceFolder(m_targetFolder, &why);
  if (folder.isEmpty()) {
    QMessageBox message(QMessageBox::Warning, LoadString(IDS_APP_TITLE),
                        PickText(m_language, "폴더를 만들 수 없습니다: %1",
                                 "The package's folder cannot be made: %1",
                                 "フォルダーを作成できません: %1")
                            .arg(why),
                        QMessageBox::Ok, this);
    message.setObjectName(QStringLiteral("EvidenceMessage"));
    message.setTextFormat(Qt::PlainText);
    message.exec();
    return false;
  }
  m_evidenceProgress->SetActive(true);
  m_evidenceStarted.start();
  m_evidenceProgress->SetStatusText(QDir::toNativeSeparators(folder));
  m_evidenceProgress->OverallBar()->setValue(0);
  if (!m_evidence.Begin(m_library, folder, std::move(recordings))) return false;
  m_evidenceProgress->show();
  return true;
}
