// The main window's start-up and shut-down: initialisation and setup in their order, the
// close button's question and the order of destruction.
#include <QCheckBox>
#include <QMessageBox>
#include <QSizeGrip>
#include <QTreeView>
#include <cstdio>

#include "app/card_watch.h"
#include "app/main_window.h"
#include "app/map_pane.h"
#include "app/pane_layout.h"
#include "app/pane_states.h"
#include "app/video_pane.h"
#include "app/viewer_config.h"
#include "app/window_controls.h"
#include "app/window_layout.h"
#include "app/zoom_dlg.h"
#include "controls/bitmap_slider.h"
#include "controls/progress_dlg.h"
#include "resources/resource_ids.h"
#include "sensors/graph_static.h"
#include "tat/tat_library.h"

namespace {

TatDeviceInfo DefaultDeviceInfo() {
  TatDeviceInfo info{};
  std::snprintf(info.serial, sizeof info.serial, "%s", "N/A");
  std::snprintf(info.company, sizeof info.company, "%s", "Velmora");
  std::snprintf(info.date, sizeof info.date, "%s", "2014/03/01");
  std::snprintf(info.version, sizeof info.version, "%s", "QMVXXX-V1");
  std::snprintf(info.model, sizeof info.model, "%s", "QMVXXX");
  std::snprintf(info.id, sizeof info.id, "%s", "E000001");
  return info;
}

}  // namespace

void CZarezeRadidaDlg::OnInitDialog() {
  m_controls = std::make_unique<CWindowControls>(this);
  m_layout = std::make_unique<CWindowLayout>(this, *m_controls);
  m_paneLayout = std::make_unique<CPaneLayout>(*m_controls);
  m_map = std::make_unique<CMapPane>(m_controls->MapView());
  // Bitmaps and slider ranges first, so the configuration read by the setup is clamped to
  // the sliders' real ranges.
  m_controls->Skin(m_language);
  m_controls->Find(IDC_PLAY)->show();
  m_controls->Find(IDC_PAUSE)->hide();
  // The card-store parser's seek unit is fixed at 24 front frames (CTATParser::Granularity).
  m_state.mapPageLoaded = false;
  setWindowIcon(LoadAppIcon(IDI_APP));
  setAcceptDrops(true);  // cards and AVI files dropped on it open
  setWindowTitle(LoadString(IDS_APP_TITLE));
  Setup();
  ApplyWindowLayout(m_state.displayMode);
  LoadBackground();
  // A frameless window has no border to drag: its corner resizes it.
  m_sizeGrip = new QSizeGrip(this);
  m_sizeGrip->setObjectName(QStringLiteral("SizeGrip"));
  m_sizeGrip->resize(m_sizeGrip->sizeHint());
  m_sizeGrip->move(width() - m_sizeGrip->width(), height() - m_sizeGrip->height());
  m_sizeGrip->raise();
  m_traces = SetupGSensorGraph(*m_controls->Graph());
  m_layout->ApplyLabelColours();
  // White on black, with check boxes and the selection in the skin's colours. One face in
  // every language (the rows are Latin; a CJK face would make them bold and taller), with
  // the user's CJK face behind it for any other glyph.
  m_controls->List()->setStyleSheet(QStringLiteral(
      "QTreeView { background: black; color: white; font-size: 11px;"
      " font-family: \"DejaVu Sans\", \"Noto Sans CJK JP\", \"Noto Sans CJK KR\"; }"
      "QTreeView::item:selected { background: rgb(70, 36, 28); color: white; }"
      "QTreeView::indicator { width: 9px; height: 9px; border: 1px solid rgb(160, 160, 160);"
      " background: black; }"
      "QTreeView::indicator:checked { background: rgb(247, 88, 46);"
      " border-color: rgb(247, 88, 46); }"));
  m_controls->SelectAll()->setStyleSheet(QStringLiteral(
      "QCheckBox::indicator { width: 11px; height: 11px; border: 1px solid rgb(160, 160, 160);"
      " background: black; }"
      "QCheckBox::indicator:checked { background: rgb(247, 88, 46);"
      " border-color: rgb(247, 88, 46); }"));
  m_progress = std::make_unique<CProgressDlg>(this, m_langId);
  m_export.Start(m_library);
  ConnectControls();
}

void CZarezeRadidaDlg::Setup() {
  m_paneLayout->HidePanes();
  m_library = TatCreate();
  TatConfigure(m_library, DefaultDeviceInfo());
  m_state.cardLetter = 0;
  m_cardWatch = std::make_unique<CCardWatch>(
      [this](const std::string& dirs, std::vector<TatVolume> cards) {
        QMetaObject::invokeMethod(
            this, [this, dirs, cards = std::move(cards)] { OnCardsFound(dirs, cards); },
            Qt::QueuedConnection);
      });
  m_playback.Start(m_library, m_controls->FrontPane(), m_controls->RearPane());
  connect(&m_playback, &CPlaybackController::positionChanged, this,
          &CZarezeRadidaDlg::RefreshPosition);
  // The end of a recording moves on to the newer one; the end of a trip stops.
  connect(&m_playback, &CPlaybackController::ended, this,
          [this] { m_playback.InTrip() ? OnStop() : OnNext(); });
  connect(&m_playback, &CPlaybackController::failed, this, &CZarezeRadidaDlg::OnPlaybackFailed);
  m_cardWatchTimer.start(kCardWatchMs, this);
  m_state.displayMode = kNormalMode;
  m_state.panes = PaneStates{};
  m_controls->MapView()->setGeometry(kRearHidden);
  m_controls->Find(IDC_POS_SLIDER)->setGeometry(92, 432, 390, 14);
  m_controls->Find(IDC_LIST_TITLE)->setGeometry(648, 65, 325, 18);
  m_controls->Find(IDC_LIST)->setGeometry(648, 83, 325, 130);
  // The list's columns and rows belong to the recording list.
  LoadViewerConfig();
  m_controls->List()->setUpdatesEnabled(true);
}

// Every way of closing (the close button, the window manager's close, the taskbar) comes
// here through closeEvent: one question, one shutdown.
void CZarezeRadidaDlg::OnCloseButton() { close(); }

bool CZarezeRadidaDlg::ConfirmQuit() {
  SaveViewerConfig();
  m_cardWatchTimer.stop();
  const QString text = LoadString(IDS_QUIT_TEXT_EN, m_language);
  const QString caption = LoadString(IDS_QUIT_CAPTION_EN, m_language);
  QMessageBox question(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No,
                       this);
  question.setObjectName(QStringLiteral("QuitQuestion"));
  // Asked before anything stops: playback goes on behind the question.
  if (question.exec() == QMessageBox::Yes) {
    OnStop();
    return true;
  }
  // Answered No: nothing has changed, and the window goes on watching for the card.
  m_cardWatchTimer.start(kCardWatchMs, this);
  return false;
}

void CZarezeRadidaDlg::OnMinimize() { showMinimized(); }

void CZarezeRadidaDlg::Destroy() {
  if (m_destroyed) return;
  m_destroyed = true;
  // A running export ends its file short and valid before the engine it reads from goes.
  m_export.Shutdown();
  m_evidence.Shutdown();  // an incomplete package, before the library it reads goes
  SaveViewerConfig();
  m_cardWatchTimer.stop();
  m_playback.Shutdown();
  m_cardWatch.reset();  // before the library it chooses for goes
  if (m_library != nullptr) {
    TatRelease(m_library);
    m_library = nullptr;
  }
  m_progress.reset();
  m_evidenceProgress.reset();
  m_zoom.reset();
}
