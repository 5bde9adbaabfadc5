// The export from the window's side: FileDownload (1143), the folder dialog, and the view
// that shows the export thread's progress. The view never touches a widget from the export
// thread: every change is queued to the GUI thread, with the widget as the call's context,
// so a change for a window already gone is dropped, and the export thread never waits for
// the GUI thread.
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <algorithm>

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

// %1 frames copied, %2 frames of the recording, %3 the system's reason.
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
      return {"쓰기에 실패했습니다 (%3). 파일은 %2 프레임 중 %1 프레임까지입니다.",
              "incomplete: writing failed (%3); the file holds %1 of %2 frames.",
              "書き込みに失敗しました (%3)。ファイルは %2 フレーム中 %1 フレームまでです。"};
    case ExportOutcome::kStopped:
      return {"내보내기가 중단되었습니다. 파일은 %2 프레임 중 %1 프레임까지입니다.",
              "incomplete: the export was stopped; the file holds %1 of %2 frames.",
              "エクスポートが中断されました。ファイルは %2 フレーム中 %1 フレームまでです。"};
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
                               .replace(QStringLiteral("%3"), QString::fromLocal8Bit(r.detail));
    // The name as the card has it, control characters shown as '?'.
    QString name = QString::fromUtf8(r.name);
    for (QChar& c : name) {
      if (c.category() == QChar::Other_Control) c = QLatin1Char('?');
    }
    text += QStringLiteral("\n%1: %2").arg(name, reason);
  }
  return text;
}

class CExportView : public CExportWorker::View {
 public:
  CExportView(CZarezeRadidaDlg* window, CProgressDlg* progress)
      : m_window(window), m_progress(progress), m_language(window->Language()) {}

  void OnExportStart() override {
    Post(m_progress, [](CProgressDlg* p) { p->show(); });
  }

  void OnFileStart(int index, int count, const std::string& name) override {
    const QString text = QString::fromUtf8(name);
    const QString title = QString::asprintf("Make File %03d/%03d [", index, count) + text + ']';
    Post(m_window, [title](CZarezeRadidaDlg* w) { w->setWindowTitle(title); });
    Post(m_progress, [text, index](CProgressDlg* p) {
      p->SetStatusText(text);
      p->OverallBar()->setValue(index + 1);
    });
  }

  bool OnFrame(int frame, int total) override {
    if (!m_progress->IsActive()) {  // Cancel was pressed
      Post(m_progress, [](CProgressDlg* p) { p->hide(); });
      return false;
    }
    if (frame == 0) {
      const int maximum = total > 0 ? total : 1000;
      Post(m_progress, [maximum](CProgressDlg* p) { p->FileBar()->setRange(0, maximum); });
      // A few hundred steps show every change the bar can draw, without a queued call for
      // each frame of a long recording.
      m_step = std::max(1, maximum / 500);
    }
    if (frame % m_step == 0 || frame + 1 >= total) {
      Post(m_progress, [frame](CProgressDlg* p) { p->FileBar()->setValue(frame); });
    }
    return true;
  }

  void OnExportEnd(const std::vector<ExportResult>& results, bool finished) override {
    if (finished) Post(m_progress, [](CProgressDlg* p) { p->hide(); });
    Post(m_window, [](CZarezeRadidaDlg* w) { w->setWindowTitle(LoadString(IDS_APP_TITLE)); });
    if (std::none_of(results.begin(), results.end(), IsExportProblem)) return;
    const QString text = ProblemsText(results, m_language);
    Post(m_window, [text](CZarezeRadidaDlg* w) {
      QMessageBox message(QMessageBox::Warning, LoadString(IDS_APP_TITLE), text, QMessageBox::Ok,
                          w);
      message.setObjectName(QStringLiteral("ExportMessage"));
      message.exec();
    });
  }

 private:
  // Runs change on target's (the GUI) thread; dropped when target is gone by then.
  template <typename T, typename F>
  static void Post(T* target, F change) {
    QMetaObject::invokeMethod(
        target, [target, change] { change(target); }, Qt::QueuedConnection);
  }

  CZarezeRadidaDlg* m_window;
  CProgressDlg* m_progress;
  UiLanguage m_language;
  int m_step = 1;  // export thread only
};

}  // namespace

void CZarezeRadidaDlg::ConnectExportControls() {
  m_exportWorker.SetParser(&m_exportParser);
  m_exportWorker.SetView(std::make_unique<CExportView>(this, m_progress.get()));
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

bool CZarezeRadidaDlg::ChooseExportFolder() {
  QFileDialog dialog(this, LoadString(IDS_TARGET_FOLDER_EN, m_language));
  dialog.setObjectName(QStringLiteral("ExportFolderDialog"));
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

  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(m_exportList.size()));
  for (const QString& name : m_exportList) names.push_back(name.toStdString());
  const int count = static_cast<int>(names.size());
  m_exportWorker.Arm(QFile::encodeName(m_targetFolder).toStdString(), std::move(names));
  m_progress->SetActive(true);
  m_progress->FileBar()->setValue(0);
  m_progress->OverallBar()->setRange(0, count);
  m_progress->OverallBar()->setValue(0);
  m_exportWorker.Busy() = true;
  return true;
}
