// Snapshot capture: the capture button pauses playback, asks for a name, has the player save
// the picture on screen of each camera as a JPEG file and resumes playback.
#include "app/snapshot.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

#include "app/avi_files.h"
#include "app/first_frames.h"
#include "app/main_window.h"
#include "app/recording_names.h"
#include "app/viewer_config.h"
#include "app/window_controls.h"
#include "decoding/jpeg_file.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "tat/card.h"

namespace {

constexpr int kExtensionCut = 4;  // the length of ".jpg"

// The question before replacing snapshot files that exist; true to replace them.
bool ConfirmReplace(QWidget* parent, UiLanguage lang, const QStringList& existing) {
  QStringList names;
  for (const QString& path : existing) names << QFileInfo(path).fileName();
  const QString text = PickText(lang, "%1 파일이 이미 있습니다.\n바꾸시겠습니까?",
                                "%1 already exists.\nDo you want to replace it?",
                                "%1 は既に存在します。\n置き換えますか?")
                           .arg(names.join(QLatin1Char('\n')));
  QMessageBox question(QMessageBox::Warning, LoadString(IDS_APP_TITLE), text,
                       QMessageBox::Yes | QMessageBox::No, parent);
  question.setObjectName(QStringLiteral("SnapshotReplaceQuestion"));
  question.setTextFormat(Qt::PlainText);
  question.setDefaultButton(QMessageBox::No);
  return question.exec() == QMessageBox::Yes;
}

// Names each file that could not be written.
void ReportFailures(QWidget* parent, UiLanguage lang, const QStringList& failed) {
  const QString text = PickText(lang, "스냅샷을 저장하지 못했습니다:\n%1",
                                "The snapshot could not be saved:\n%1",
                                "スナップショットを保存できませんでした:\n%1")
                           .arg(failed.join(QLatin1Char('\n')));
  QMessageBox box(QMessageBox::Warning, LoadString(IDS_APP_TITLE), text, QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("SnapshotError"));
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace

QString CaptureDefaultName(const QDateTime& when) {
  const QDate d = when.date();
  const QTime t = when.time();
  return QString::asprintf("Capture_%04d%02d%02d_%02d%02d%02d.jpg", d.year(), d.month(), d.day(),
                           t.hour(), t.minute(), t.second());
}

QDateTime RecordedAt(uint32_t startTime, const QString& name, int64_t positionMs) {
  // The recorder's clock: its seconds since 1970 read as they were written, without a zone.
  QDateTime start;
  if (startTime > 0) {
    start = QDateTime::fromSecsSinceEpoch(startTime, Qt::UTC);
  } else {
    start = QDateTime(QDate::fromString(NameField(name, 1).toString(), QStringLiteral("yyyyMMdd")),
                      QTime::fromString(NameField(name, 2).toString(), QStringLiteral("HHmmss")),
                      Qt::UTC);
  }
  return start.isValid() ? start.addMSecs(positionMs) : QDateTime();
}

QString CaptureFilter() { return QStringLiteral("jpeg file (*.jpg)"); }

QString SnapshotBase(const QString& chosen) {
  const qsizetype slash = chosen.lastIndexOf(QLatin1Char('/'));
  const QString name = chosen.mid(slash + 1);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot < 0 || dot == name.size() - 1) return chosen;  // no extension
  if (name.size() > kExtensionCut) return chosen.left(chosen.size() - kExtensionCut);
  return chosen.left(slash + 1 + dot);
}

QStringList SnapshotFiles(const QString& chosen, int cameraCount) {
  const QString base = SnapshotBase(chosen);
  QStringList files{base + QStringLiteral("_front.jpg")};
  if (cameraCount > 1) files << base + QStringLiteral("_rear.jpg");
  return files;
}

void CZarezeRadidaDlg::OnCapture() {
  const int status = m_playback.Player().Status();
  if (status != CQMVMediaPlayer::kPlaying && status != CQMVMediaPlayer::kStill) return;
  if (RowCount() == 0) return;
  m_playback.Player().PausePlayback();

  // Named for the moment on screen, by the recorder's clock.
  const Recording* recording = m_shown->RecordingOf(m_currentName);
  const QDateTime when = recording != nullptr
                             ? RecordedAt(recording->startTime, m_currentName,
                                          m_playback.Player().GetPositionMs())
                             : QDateTime();
  const QStringList files = AskSnapshotFiles(when, m_playback.Player().GetCameraCount());
  QStringList failed;
  for (int camera = 0; camera < files.size(); ++camera) {
    if (!m_playback.Player().SaveSnapshot(camera, QFile::encodeName(files[camera]).constData())) {
      failed << files[camera];
    }
  }
  ResumeAfterDialog(status);
  update();
  if (!failed.isEmpty()) ReportFailures(this, m_language, failed);
}

void CZarezeRadidaDlg::OnRowSnapshot(int row) {
  const Recording* recording = m_shown->RecordingAt(row);
  if (recording == nullptr || recording->kindCode == kFileKind) return;
  // Its own card: the one in use, or another inserted beside it.
  const std::shared_ptr<CCard> card =
      m_state.cardLetter == 0 ? nullptr
      : recording->card.empty() ? TatCurrentCard(m_library)
                                : TatCardAt(m_library, recording->card);
  if (card == nullptr) return;
  const QStringList files =
      AskSnapshotFiles(RecordedAt(recording->startTime, RowName(row), 0), recording->CameraCount());
  if (files.isEmpty()) return;
  // Its own reader: the recording that plays keeps its place.
  const std::unique_ptr<CRecordingReader> reader =
      card->OpenReader(recording->kindCode, recording->index);
  const std::vector<FirstPicture> pictures =
      reader ? DecodeFirstPictures(*reader, recording->CameraCount()) : std::vector<FirstPicture>();
  QStringList failed;
  for (int camera = 0; camera < files.size(); ++camera) {
    const FirstPicture* picture =
        camera < static_cast<int>(pictures.size()) ? &pictures[static_cast<size_t>(camera)] : nullptr;
    if (picture == nullptr || picture->Empty() ||
        !WriteJpegFile(QFile::encodeName(files[camera]).constData(), picture->bgrx.data(),
                       picture->width, picture->height, picture->width * 4)) {
      failed << files[camera];
    }
  }
  if (!failed.isEmpty()) ReportFailures(this, m_language, failed);
}

QStringList CZarezeRadidaDlg::AskSnapshotFiles(QDateTime when, int cameraCount) {
  // The PC's clock when the recording cannot tell. In the folder of the last snapshot, else
  // the user's pictures folder.
  if (!when.isValid()) when = QDateTime::currentDateTime();
  QString folder = ReadSnapshotFolder();
  if (folder.isEmpty() || !QDir(folder).exists()) {
    folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  }
  QFileDialog dialog(this, QString(), QDir(folder).filePath(CaptureDefaultName(when)),
                     CaptureFilter());
  dialog.setObjectName(QStringLiteral("CaptureDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The chosen name is never written; the question is asked about the files that are.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  QStringList files;
  while (files.isEmpty() && dialog.exec() == QDialog::Accepted &&
         !dialog.selectedFiles().isEmpty()) {
    const QString chosen = dialog.selectedFiles().constFirst();
    QStringList candidates = SnapshotFiles(chosen, cameraCount);
    QStringList existing;
    for (const QString& file : candidates) {
      if (QFileInfo::exists(file)) existing << file;
    }
    if (existing.isEmpty() || ConfirmReplace(this, m_language, existing)) {
      files = candidates;
    } else {
      dialog.selectFile(chosen);  // back to the dialog, as after No in a save dialog
    }
  }
  if (!files.isEmpty()) WriteSnapshotFolder(QFileInfo(files.front()).absolutePath());
  return files;
}
