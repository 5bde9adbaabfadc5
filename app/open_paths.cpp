// Opening cards and AVI files the user names in the window: dropped on it, or chosen with
// Ctrl+O in the desktop's file dialog (app/main_window.h: OpenPaths).
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "app/avi_files.h"
#include "app/main_window.h"
#include "resources/resources.h"
#include "tat/tat_library.h"

void CZarezeRadidaDlg::OpenPaths(const QStringList& paths) {
  std::vector<std::string> cards, files;
  QStringList refused;
  for (const QString& path : paths) {
    const QFileInfo info(path);
    const std::string local = QFile::encodeName(info.absoluteFilePath()).toStdString();
    std::string problem;
    if (info.isFile()) {
      problem = AviFileProblem(local);
      if (problem.empty()) {
        files.push_back(local);
        continue;
      }
    }
    // A folder, or a file on a card (its store's files, a recorder's own AVI files).
    const std::string card =
        info.isDir() ? TatFindCardFolder(local)
                     : TatFindCardFolder(QFile::encodeName(info.absolutePath()).toStdString(),
                                         /*lookBelow=*/false);
    if (!card.empty()) {
      cards.push_back(card);
      continue;
    }
    if (!info.exists()) problem = "not there";
    refused << info.fileName() + QStringLiteral(": ") +
                   (problem.empty() ? PickText(m_language, "카드도 AVI 파일도 아닙니다",
                                               "neither a recorder card nor an AVI file",
                                               "カードでもAVIファイルでもありません")
                                    : QString::fromStdString(problem));
  }
  if (!cards.empty()) OpenCardFolders(cards);
  if (!files.empty()) OpenFiles(files);
  if (!refused.isEmpty()) {
    ShowStatusLine(PickText(m_language, "열 수 없습니다", "Cannot open", "開けません") +
                       QStringLiteral(" ") + refused.join(QStringLiteral("; ")),
                   kRefusedNoteMs);
  }
}

void CZarezeRadidaDlg::OpenWithDialog() {
  QFileDialog dialog(this, PickText(m_language, "AVI 파일 또는 카드 열기", "Open AVI files or a card",
                                    "AVIファイルまたはカードを開く"));
  dialog.setObjectName(QStringLiteral("OpenDialog"));
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setNameFilters({PickText(m_language, "AVI 파일 및 카드 (*.avi *.AVI *.TAT)",
                                  "AVI files and cards (*.avi *.AVI *.TAT)",
                                  "AVIファイルとカード (*.avi *.AVI *.TAT)"),
                         PickText(m_language, "모든 파일 (*)", "All files (*)", "すべてのファイル (*)")});
  if (dialog.exec() == QDialog::Accepted) OpenPaths(dialog.selectedFiles());
}

void CZarezeRadidaDlg::dragEnterEvent(QDragEnterEvent* event) {
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) {
      event->acceptProposedAction();
      return;
    }
  }
}

void CZarezeRadidaDlg::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  OpenPaths(paths);
}
