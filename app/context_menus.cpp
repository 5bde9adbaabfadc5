// The right-click menus: on a list row (play it, export it, make an evidence package or save
// the GPS track or sensor data of the checked rows or of it, check or uncheck every shown row)
// and on the video (a snapshot, full screen and back). Each entry does what its button or key
// does. GUI thread only.
#include <QCheckBox>
#include <QMenu>
#include <QTreeView>

#include "app/avi_files.h"
#include "app/main_window.h"
#include "app/video_pane.h"
#include "app/window_controls.h"
#include "resources/resources.h"

void CZarezeRadidaDlg::ConnectContextMenus() {
  QTreeView* list = m_controls->List();
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& at) {
    const QModelIndex index = list->indexAt(at);
    if (!index.isValid()) return;
    ShowRowMenu(index.row(), list->viewport()->mapToGlobal(at));
  });
  for (QWidget* pane : {static_cast<QWidget*>(m_controls->FrontPane()),
                        static_cast<QWidget*>(m_controls->RearPane())}) {
    pane->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pane, &QWidget::customContextMenuRequested, this,
            [this, pane](const QPoint& at) { ShowVideoMenu(pane->mapToGlobal(at)); });
  }
}

void CZarezeRadidaDlg::ShowRowMenu(int row, const QPoint& at) {
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("RowMenu"));
  QAction* play = menu.addAction(PickText(m_language, "재생", "Play", "再生"));
  QAction* save = menu.addAction(PickText(m_language, "내보내기…", "Export…", "エクスポート…"));
  save->setEnabled(!ExportBusy());
  QAction* evidence = menu.addAction(
      PickText(m_language, "증거 패키지…", "Evidence package…", "証拠パッケージ…"));
  QAction* snapshot = menu.addAction(PickText(m_language, "첫 화면 스냅샷…",
                                              "Snapshot of its first frame…", "最初のフレームのスナップショット…"));
  const Recording* recording = m_shown->RecordingAt(row);
  snapshot->setEnabled(recording != nullptr && recording->kindCode != kFileKind);
  save->setEnabled(save->isEnabled() && recording != nullptr && recording->kindCode != kFileKind);
  // For the checked recordings, or this one when none is checked.
  std::vector<Recording> tracked = m_shown->CheckedRecordings();
  if (tracked.empty() && recording != nullptr) tracked = {*recording};
  std::erase_if(tracked, [](const Recording& r) { return r.kindCode == kFileKind; });
  // The package reads the card in use; a recording of another card present is left out.
  std::vector<Recording> packaged = tracked;
  std::erase_if(packaged, [](const Recording& r) { return !r.card.empty(); });
  evidence->setEnabled(!m_evidence.IsBusy() && !packaged.empty());
  QAction* gpx = menu.addAction(PickText(m_language, "GPS 경로 저장 (GPX)…", "Save GPS track (GPX)…",
                                         "GPS経路を保存 (GPX)…"));
  QAction* csv = menu.addAction(PickText(m_language, "센서 데이터 저장 (CSV)…", "Save sensor data (CSV)…",
                                         "センサーデータを保存 (CSV)…"));
  gpx->setEnabled(!tracked.empty());
  csv->setEnabled(!tracked.empty());
  menu.addSeparator();
  QAction* checkAll = menu.addAction(PickText(m_language, "모두 선택", "Check all", "すべて選択"));
  QAction* uncheckAll =
      menu.addAction(PickText(m_language, "모두 선택 해제", "Uncheck all", "すべて選択解除"));
  const QAction* chosen = menu.exec(at);
  if (chosen == play) {
    OnListDoubleClick(row);
  } else if (chosen == save) {
    // This row alone, whatever is checked.
    const Recording* recording = m_shown->RecordingAt(row);
    if (recording == nullptr) return;
    m_exportList = {RowName(row)};
    m_exportRecordings = {*recording};
    ChooseExportFolder();
  } else if (chosen == evidence) {
    ChooseEvidenceFolder(std::move(packaged));
  } else if (chosen == snapshot) {
    OnRowSnapshot(row);
  } else if (chosen == gpx || chosen == csv) {
    SaveTrackFile(tracked, chosen == gpx);
  } else if (chosen == checkAll || chosen == uncheckAll) {
    m_controls->SelectAll()->setChecked(chosen == checkAll);
    OnSelectAll();
  }
}

void CZarezeRadidaDlg::ShowVideoMenu(const QPoint& at) {
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("VideoMenu"));
  QAction* snapshot = menu.addAction(PickText(m_language, "스냅샷…", "Snapshot…", "スナップショット…"));
  const int status = m_playback.Player().Status();
  snapshot->setEnabled(status == CQMVMediaPlayer::kPlaying || status == CQMVMediaPlayer::kStill);
  QAction* full = menu.addAction(m_state.displayMode == kNormalMode
                                     ? PickText(m_language, "전체 화면", "Full screen", "全画面")
                                     : PickText(m_language, "창으로", "Leave full screen",
                                                "ウィンドウに戻す"));
  const QAction* chosen = menu.exec(at);
  if (chosen == snapshot) OnCapture();
  if (chosen == full) ToggleFullScreen();
}
