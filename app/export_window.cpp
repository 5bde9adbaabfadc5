// The export from the window's side: FileDownload (1143), the folder dialog, and what the
// window shows of the export controller's signals (the progress dialog, the title, a line in
// the window, the closing report). The signals come on the GUI thread.
#include <QAbstractButton>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <optional>

#include "app/main_window.h"
#include "app/viewer_config.h"
#include "app/window_controls.h"
#include "controls/progress_dlg.h"
#include "resources/resource_ids.h"

namespace {

// Texts of the message that names what an export could not do: Korean, English, Japanese.
struct Texts {
  const char* ko;
  const char* en;
  const char* ja;
  QString In(UiLanguage lang) const { return PickText(lang, ko, en, ja); }
};

const Texts kProblemsHeading = {"다음 녹화는 완전히 저장되지 않았습니다.",
                                "These recordings were not saved completely.",
                                "次の録画は完全には保存されませんでした。"};

// %1 front frames copied, %2 front frames of the recording, %3 the system's reason or the
// damage, %4 rear frames copied, %5 rear frames of the recording.
Texts ReasonTexts(ExportOutcome outcome) {
  switch (outcome) {
    case ExportOutcome::kBadName:
      return {"이름을 파일 이름으로 쓸 수 없어 건너뛰었습니다.",
              "skipped: its name cannot be used as a file name.",
              "名前をファイル名に使えないため、スキップしました。"};
    case ExportOutcome::kNotOpened:
      return {"녹화를 읽을 수 없어 건너뛰었습니다.", "skipped: the recording cannot be read.",
              "録画を読み込めないため、スキップしました。"};
    case ExportOutcome::kNotCreated:
      return {"파일을 만들 수 없어 건너뛰었습니다 (%3).",
              "skipped: the file cannot be created (%3).",
              "ファイルを作成できないため、スキップしました (%3)。"};
    case ExportOutcome::kReadError:
      return {"읽기가 도중에 끝났습니다. 파일은 %2 프레임 중 %1 프레임까지입니다.",
              "incomplete: reading ended early; the file holds %1 of %2 frames.",
              "読み込みが途中で終わりました。ファイルは %2 フレーム中 %1 フレームまでです。"};
    case ExportOutcome::kWriteFailed:
      return {"쓰기에 실패해 저장되지 않았습니다 (%3).",
              "not saved: writing failed (%3).",
              "書き込みに失敗したため、保存されませんでした (%3)。"};
    case ExportOutcome::kStopped:
      return {"내보내기가 중단되어 저장되지 않았습니다.",
              "not saved: the export was stopped.",
              "エクスポートが中断されたため、保存されませんでした。"};
    case ExportOutcome::kFramesLost:
      return {"카드의 손상으로 프레임이 빠졌습니다. 파일에는 전방 %2 프레임 중 %1, 후방 %5 프레임 중 %4 프레임이 있습니다.",
              "incomplete: frames were lost to damage on the card; the file holds %1 of %2 front "
              "and %4 of %5 rear frames.",
              "カードの損傷でフレームが失われました。ファイルには前方 %2 フレーム中 %1、後方 %5 フレーム中 %4 フレームがあります。"};
    case ExportOutcome::kDamaged:
      return {"녹화가 손상되어 건너뛰었습니다 (%3).", "skipped: the recording is damaged (%3).",
              "録画が破損しているため、スキップしました (%3)。"};
    case ExportOutcome::kExists:
      return {"같은 이름의 파일이 있어 건너뛰었습니다.",
              "skipped: a file of that name is in the folder.",
              "同じ名前のファイルがあるため、スキップしました。"};
    case ExportOutcome::kComplete:
    case ExportOutcome::kCancelled:
      break;
  }
  return {"", "", ""};
}

QString ProblemsText(const std::vector<ExportResult>& results, UiLanguage lang) {
  QString text = kProblemsHeading.In(lang);
  for (const ExportResult& r : results) {
    if (!IsExportProblem(r)) continue;
    const QString reason = ReasonTexts(r.outcome)
                               .In(lang)
                               .replace(QStringLiteral("%1"), QString::number(r.framesCopied))
                               .replace(QStringLiteral("%2"), QString::number(r.framesExpected))
                               .replace(QStringLiteral("%3"), QString::fromLocal8Bit(r.detail))
                               .replace(QStringLiteral("%4"), QString::number(r.rearCopied))
                               .replace(QStringLiteral("%5"), QString::number(r.rearExpected));
    // The name as the card has it, control characters shown as '?'.
    QString name = QString::fromUtf8(r.name);
    for (QChar& c : name) {
      if (c.category() == QChar::Other_Control) c = QLatin1Char('?');
    }
    text += QStringLiteral("\n%1: %2").arg(name, reason);
  }
  return text;
}

}  // namespace

std::optional<ExistingFiles> CZarezeRadidaDlg::AskAboutExistingFiles(const QStringList& files) {
  const Texts question = {"폴더에 같은 이름의 파일이 있습니다:",
                          "The folder already holds files of these names:",
                          "フォルダーに同じ名前のファイルがあります:"};
  const Texts replace = {"바꾸기", "Replace", "置き換える"};
  const Texts skip = {"건너뛰기", "Skip", "スキップ"};
  const Texts keepBoth = {"둘 다 유지", "Keep both", "両方残す"};
  QStringList shown = files.mid(0, 10);
  if (files.size() > shown.size()) shown << QStringLiteral("…");
  QMessageBox box(QMessageBox::Question, LoadString(IDS_APP_TITLE),
                  question.In(m_language) + QStringLiteral("\n") + shown.join('\n'),
                  QMessageBox::Cancel, this);
  box.setObjectName(QStringLiteral("ExportExistingQuestion"));
  box.setTextFormat(Qt::PlainText);  // file names from the card
  QAbstractButton* replaceButton = box.addButton(replace.In(m_language), QMessageBox::DestructiveRole);
  QAbstractButton* skipButton = box.addButton(skip.In(m_language), QMessageBox::RejectRole);
  QAbstractButton* keepButton = box.addButton(keepBoth.In(m_language), QMessageBox::AcceptRole);
  replaceButton->setObjectName(QStringLiteral("Replace"));
  skipButton->setObjectName(QStringLiteral("Skip"));
  keepButton->setObjectName(QStringLiteral("KeepBoth"));
  box.setDefaultButton(qobject_cast<QPushButton*>(keepButton));
  box.exec();
  if (box.clickedButton() == replaceButton) return ExistingFiles::kReplace;
  if (box.clickedButton() == skipButton) return ExistingFiles::kRefuse;
  if (box.clickedButton() == keepButton) return ExistingFiles::kKeepBoth;
  return std::nullopt;  // Cancel, or the box closed: no export
}

void CZarezeRadidaDlg::ShowExportDone(const std::vector<ExportResult>& results) {
  const auto saved = std::count_if(results.begin(), results.end(), [](const ExportResult& r) {
    return r.outcome == ExportOutcome::kComplete;
  });
  if (saved == 0 || saved != static_cast<long>(results.size())) return;  // a cancel says enough
  const QString folder = QDir::toNativeSeparators(m_targetFolder);
  const QString text =
      PickText(m_language, "내보낸 녹화: %1개\n폴더: %2", "Recordings exported: %1\nFolder: %2",
               "エクスポートした録画: %1 件\nフォルダー: %2")
          .arg(saved)
          .arg(folder);
  ShowFolderMessage(QMessageBox::Information, QStringLiteral("ExportDoneMessage"), text,
                    m_targetFolder);
}

void CZarezeRadidaDlg::ShowFolderMessage(QMessageBox::Icon icon, const QString& objectName,
                                         const QString& text, const QString& folder) {
  QMessageBox message(icon, LoadString(IDS_APP_TITLE), text, QMessageBox::Ok, this);
  message.setObjectName(objectName);
  message.setTextFormat(Qt::PlainText);
  QAbstractButton* open = message.addButton(
      PickText(m_language, "폴더 열기", "Open folder", "フォルダーを開く"), QMessageBox::ActionRole);
  open->setObjectName(QStringLiteral("OpenFolder"));
  message.exec();
  if (message.clickedButton() == open) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));  // the desktop's file manager
  }
}

void CZarezeRadidaDlg::ConnectExportControls() {
  CProgressDlg* progress = m_progress.get();
  m_export.SetGoOn([progress] { return progress->IsActive(); });
  // Shown in the window while the export runs, so its progress stays in sight when the
  // dialog is minimised or closed.
  auto* status = new QLabel(this);
  status->setObjectName(QStringLiteral("ExportStatus"));
  status->setTextFormat(Qt::PlainText);
  status->setStyleSheet(QStringLiteral("color: rgb(247, 88, 46); font-size: 11px;"));
  status->setGeometry(770, 218, 200, 20);
  status->hide();
  const QString word = PickText(m_language, "내보내기", "Export", "エクスポート");
  connect(&m_export, &CExportController::started, this, [this, progress](int count) {
    progress->setWindowTitle(PickText(m_language, "녹화 내보내기", "Export recordings",
                                      "録画のエクスポート"));
    progress->FileBar()->setValue(0);
    progress->OverallBar()->setRange(0, count);
    progress->OverallBar()->setValue(0);  // files done
    progress->show();
  });
  connect(&m_export, &CExportController::fileStarted, this,
          [this, progress, status, word](int index, int count, const QString& name) {
            setWindowTitle(QString::asprintf("Make File %d/%d [", index + 1, count) + name + ']');
            progress->SetStatusText(name);
            progress->OverallBar()->setValue(index);  // files done before this one
            status->setText(QStringLiteral("%1 %2/%3").arg(word).arg(index + 1).arg(count));
            status->setProperty("file", status->text());
            status->show();
          });
  connect(&m_export, &CExportController::progress, this,
          [progress, status](int frame, int total) {
            const int maximum = total > 0 ? total : 1000;
            if (frame == 0) progress->FileBar()->setRange(0, maximum);
            progress->FileBar()->setValue(frame);
            status->setText(QStringLiteral("%1  %2%").arg(status->property("file").toString())
                                .arg(std::min(100, (frame + 1) * 100 / maximum)));
          });
  connect(&m_export, &CExportController::finished, this,
          [this, progress, status](const std::vector<ExportResult>& results, bool) {
            // Files done: those saved whole.
            progress->OverallBar()->setValue(static_cast<int>(
                std::count_if(results.begin(), results.end(), [](const ExportResult& r) {
                  return r.outcome == ExportOutcome::kComplete;
                })));
            progress->hide();
            status->hide();
            setWindowTitle(LoadString(IDS_APP_TITLE));
            if (std::none_of(results.begin(), results.end(), IsExportProblem)) {
              ShowExportDone(results);
              return;
            }
            QMessageBox message(QMessageBox::Warning, LoadString(IDS_APP_TITLE),
                                ProblemsText(results, m_language), QMessageBox::Ok, this);
            message.setObjectName(QStringLiteral("ExportMessage"));
            message.setTextFormat(Qt::PlainText);
            message.exec();
          });
  auto* button = qobject_cast<QAbstractButton*>(m_controls->Find(IDC_DOWNLOAD));
  connect(button, &QAbstractButton::clicked, this, &CZarezeRadidaDlg::OnFileDownload);
}

void CZarezeRadidaDlg::OnFileDownload() {
  if (ExportBusy()) return;
  CollectCheckedNames();
  if (m_exportList.isEmpty()) {
    QMessageBox message(QMessageBox::Warning, LoadString(IDS_APP_TITLE),
                        LoadString(IDS_NO_SELECTION_EN, m_language), QMessageBox::Ok, this);
    message.setObjectName(QStringLiteral("NoSelectionMessage"));
    message.exec();
    return;
  }
  ChooseExportFolder();
}

bool CZarezeRadidaDlg::AskTargetFolder(const QString& title, const QString& objectName) {
  QFileDialog dialog(this, title);
  dialog.setObjectName(objectName);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  // The folder of the last export, while it is still there.
  const bool remembered = !m_targetFolder.isEmpty() && QDir(m_targetFolder).exists();
  dialog.setDirectory(remembered ? m_targetFolder : QDir::homePath());
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty()) return false;
  m_targetFolder = QDir::cleanPath(chosen.front());
  WriteTargetFolder(m_targetFolder);
  return true;
}

bool CZarezeRadidaDlg::ChooseExportFolder() {
  if (!AskTargetFolder(LoadString(IDS_TARGET_FOLDER_EN, m_language), QStringLiteral("ExportFolderDialog"))) {
    return false;
  }

  std::vector<ExportJob> jobs;
  for (const Recording& r : m_exportRecordings) jobs.push_back({r.Identity(), r.name, r.name, false});
  const std::string folder = QFile::encodeName(m_targetFolder).toStdString();
  PlanExportFiles(folder, ExistingFiles::kRefuse, &jobs);
  QStringList existing;
  for (const ExportJob& job : jobs) {
    if (QFileInfo::exists(QFile::decodeName(JoinExportPath(folder, job.fileName).c_str()))) {
      existing << QFile::decodeName(job.fileName.c_str());
    }
  }
  if (!existing.isEmpty()) {
    const std::optional<ExistingFiles> answer = AskAboutExistingFiles(existing);
    if (!answer) return false;
    PlanExportFiles(folder, *answer, &jobs);
  }

  m_progress->SetActive(true);
  m_progress->FileBar()->setValue(0);
  m_progress->OverallBar()->setRange(0, static_cast<int>(m_exportList.size()));
  m_progress->OverallBar()->setValue(0);
  return m_export.Begin(m_targetFolder, std::move(jobs));
}
