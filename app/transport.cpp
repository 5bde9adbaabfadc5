// The main window's playback controls. The buttons, keys, position refresh and the end of a
// recording are connected by the playback part; start-up and shut-down use these.
#include "app/transport.h"

#include <QLabel>

#include "app/main_window.h"
#include "app/pane_layout.h"
#include "app/pane_states.h"
#include "app/video_pane.h"
#include "app/window_controls.h"
#include "controls/bitmap_button_trans.h"
#include "controls/bitmap_slider.h"
#include "controls/skin_button.h"
#include "resources/resource_ids.h"
#include "sensors/graph_static.h"

uint32_t OutputVolumeFor(int value) {
  const auto a = static_cast<uint32_t>(value * 655.35);
  return (a << 16) | a;
}

QString TimeText(int64_t seconds) {
  return QString::asprintf("%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                           static_cast<int>(seconds % 3600 / 60), static_cast<int>(seconds % 60));
}

bool CZarezeRadidaDlg::OpenRecording(const QString& name) {
  if (ExportBusy()) return false;
  if (m_state.cardLetter == 0) return true;
  CTATParser::SetLibraryHandle(m_library);
  m_player.PausePlayback();
  m_player.StopMedia();
  m_textData.Clear();
  SetLabelText(IDC_SPEED_LABEL, QStringLiteral("km/h"));
  m_state.lastGraphSecond = 0;
  ResetGraph(*m_controls->Graph(), m_traces);
  // The engine takes every name; one it cannot read ends at once.
  m_player.OpenMedia(name.toLocal8Bit().constData());
  m_lengthSeconds = m_player.DurationMs() / 1000;
  if (m_lengthSeconds <= 0) m_lengthSeconds = 60;
  m_controls->Slider(IDC_POS_SLIDER)->SetRange(0, static_cast<int>(m_lengthSeconds), true);
  SetLabelText(IDC_LENGTH_LABEL, TimeText(m_lengthSeconds));
  m_state.panes = PaneStates{kPaneMain, kPaneHidden, kPaneHidden};
  // The map page is loaded here once the map view exists.
  m_controls->MapView()->setGeometry(kRearHidden);
  for (int id : {IDC_SMALL_MAP, IDC_SMALL_CAMERA, IDC_MAP}) m_controls->Find(id)->setEnabled(false);
  if (m_player.GetCameraCount() == 2) m_state.panes.rear = kPaneSmall;
  m_positionTimer.start(kPositionRefreshMs, this);
  ApplyPaneLayout();
  m_controls->Find(IDC_PLAY)->hide();
  m_controls->Find(IDC_PAUSE)->show();
  m_player.ResumePlayback();
  return true;
}

void CZarezeRadidaDlg::ApplyVolume(int value) {
  CxSkinButton* mute = m_controls->Check(IDC_MUTE);
  if (mute->GetCheck()) {
    CWaveBox::SetOutputVolume(0);
  } else {
    CWaveBox::SetOutputVolume(OutputVolumeFor(value));
    mute->SetCheck(false);
  }
}

void CZarezeRadidaDlg::ApplyBrightness(int value) {
  m_player.SetCameraBrightness(0, value);
  m_player.SetCameraBrightness(1, value);
  m_player.RedrawStill();
}

void CZarezeRadidaDlg::OnStop() {
  m_textData.Clear();
  SetLabelText(IDC_SPEED_LABEL, QStringLiteral("km/h"));
  CGraphStatic& graph = *m_controls->Graph();
  ResetGraph(graph, m_traces);
  // Each trace starts again from its base line.
  graph.AddPoint(m_traces.x, 150);
  graph.AddPoint(m_traces.y, 100);
  graph.AddPoint(m_traces.z, 50);
  m_state.lastGraphSecond = 0;
  m_player.PausePlayback();
  m_player.StopMedia();
  m_player.SeekToMs(0);
  m_positionTimer.stop();
  m_paneLayout->HidePanes();
  m_controls->FrontPane()->Clear();
  m_controls->RearPane()->Clear();
  m_controls->Slider(IDC_POS_SLIDER)->SetPos(0);
  SetLabelText(IDC_POS_LABEL, TimeText(0));
  SetLabelText(IDC_LENGTH_LABEL, TimeText(0));
  m_state.currentRow = -1;
  m_controls->Find(IDC_PLAY)->show();
  m_controls->Find(IDC_PAUSE)->hide();
  m_controls->Button(IDC_PLAY)->SizeToContent();
  m_player.StopMedia();
  for (int id : {IDC_SMALL_CAMERA, IDC_SMALL_MAP, IDC_MIRROR})
    m_controls->Check(id)->SetCheck(false);
  m_state.panes = PaneStates{};
  update();
}

// Being written.
void CZarezeRadidaDlg::OnPlay() {}
void CZarezeRadidaDlg::OnPause() {}
void CZarezeRadidaDlg::OnNext() {}
void CZarezeRadidaDlg::OnPrevious() {}
void CZarezeRadidaDlg::SkipBack() {}
void CZarezeRadidaDlg::SkipForward() {}
void CZarezeRadidaDlg::RefreshPosition() {}
void CZarezeRadidaDlg::UpdateTimeLabels(int64_t, int64_t) {}
void CZarezeRadidaDlg::OnSliderMoved(int, int) {}
void CZarezeRadidaDlg::OnMute() {}
bool CZarezeRadidaDlg::HandleKey(int) { return false; }
void CZarezeRadidaDlg::ConnectTransportControls() {}
