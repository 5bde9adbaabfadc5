// The main window's playback controls. The buttons, keys, position refresh and the end of a
// recording are connected by the playback part; start-up and shut-down use these.
#include "app/transport.h"

#include <algorithm>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QTimer>
#include <QItemSelectionModel>
#include <QTreeView>

#include "app/input_filter.h"
#include "app/main_window.h"
#include "app/map_pane.h"
#include "app/pane_layout.h"
#include "app/pane_states.h"
#include "app/telemetry_view.h"
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
  if (m_state.cardLetter == 0 && !CPlaybackController::IsFileName(name)) return true;
  m_currentName = name;
  SetLabelText(IDC_SPEED_LABEL, QStringLiteral("km/h"));
  ResetGraph(*m_controls->Graph(), m_traces);
  // The engine takes every name; one it cannot read fails at once.
  if (auto* line = findChild<QLabel*>(QStringLiteral("StatusLine"))) line->hide();
  // A recording of a card opens by its identity; a file, or a name no row bears, by the name.
  const std::vector<Recording> recordings = RecordingsNamed(name);
  if (recordings.empty()) {
    m_playback.Open(name);
  } else {
    m_playback.Open(recordings[0]);
  }
  LeaveTrip();
  LoadTelemetry(recordings, {0});
  m_lengthSeconds = LengthSeconds(m_playback.DurationMs());
  m_controls->Slider(IDC_POS_SLIDER)->SetRange(0, static_cast<int>(m_lengthSeconds), true);
  SetLabelText(IDC_LENGTH_LABEL, TimeText(m_lengthSeconds));
  m_state.panes = PaneStates{kPaneMain, kPaneHidden, kPaneHidden};
  LoadMapPage();
  m_controls->MapView()->setGeometry(kRearHidden);
  for (int id : {IDC_SMALL_MAP, IDC_SMALL_CAMERA, IDC_MAP}) m_controls->Find(id)->setEnabled(false);
  if (m_playback.CameraCount() == 2) m_state.panes.rear = kPaneSmall;
  ApplyPaneLayout();
  m_controls->Find(IDC_PLAY)->hide();
  m_controls->Find(IDC_PAUSE)->show();
  m_playback.Play();
  return true;
}

int64_t LengthSeconds(int durationMs) {
  const int64_t seconds = durationMs / 1000;
  return seconds > 0 ? seconds : 60;
}

int64_t SkipBackTarget(int64_t positionMs) {
  const int64_t target = positionMs - kSkipMs;
  return target > 0 ? target : 0;
}

int64_t SkipForwardTarget(int64_t positionMs, int sliderMaxSeconds) {
  const int64_t target = positionMs + kSkipMs;
  return static_cast<int64_t>(sliderMaxSeconds) * 1000 - target >= 2 ? target : -1;
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
  m_playback.Player().SetCameraBrightness(0, value);
  m_playback.Player().SetCameraBrightness(1, value);
  m_playback.Player().RedrawStill();
}

void CZarezeRadidaDlg::OnStop() {
  m_playback.Stop();
  m_telemetry->Clear();
  m_playback.Samples().Clear();
  SetLabelText(IDC_SPEED_LABEL, QStringLiteral("km/h"));
  CGraphStatic& graph = *m_controls->Graph();
  ResetGraph(graph, m_traces);
  // Each trace starts again from its base line.
  graph.AddPoint(m_traces.x, 150);
  graph.AddPoint(m_traces.y, 100);
  graph.AddPoint(m_traces.z, 50);
  m_paneLayout->HidePanes();
  m_controls->FrontPane()->Clear();
  m_controls->RearPane()->Clear();
  LeaveTrip();
  m_controls->Slider(IDC_POS_SLIDER)->SetPos(0);
  SetLabelText(IDC_POS_LABEL, TimeText(0));
  SetLabelText(IDC_LENGTH_LABEL, TimeText(0));
  m_state.currentRow = -1;
  m_currentName.clear();
  m_controls->Find(IDC_PLAY)->show();
  m_controls->Find(IDC_PAUSE)->hide();
  m_controls->Button(IDC_PLAY)->SizeToContent();
  for (int id : {IDC_SMALL_CAMERA, IDC_SMALL_MAP, IDC_MIRROR})
    m_controls->Check(id)->SetCheck(false);
  m_state.panes = PaneStates{};
  UpdatePaneButtons();  // nothing open: no map to show
  update();
}

void CZarezeRadidaDlg::UpdatePaneButtons() {
  CGPSData gps;
  const bool located =
      m_playback.IsOpen() && m_playback.Samples().LastGps(&gps) && gps.IsValid();
  for (int id : {IDC_MAP_VIEW, IDC_MAP}) m_controls->Find(id)->setEnabled(located);
  for (int id : {IDC_SMALL_MAP, IDC_SMALL_CAMERA}) {
    m_controls->Find(id)->setEnabled(located && CameraCount() == 2);
  }
}

void CZarezeRadidaDlg::OnPlaybackFailed() {
  OnStop();
  ShowStatusLine(PickText(m_language, "이 녹화를 읽을 수 없습니다. 카드가 손상되었거나 빠졌을 수 있습니다.",
                          "This recording could not be read: the card may be damaged or was removed.",
                          "この録画を読み込めませんでした。カードが破損しているか、抜かれた可能性があります。"));
}

void CZarezeRadidaDlg::ShowStatusLine(const QString& text, int hideAfterMs) {
  const QRect pane = m_controls->FrontPane()->geometry();
  // Said over the picture's place rather than in a modal box, so the window goes on working;
  // the next recording opened takes it away.
  auto* line = findChild<QLabel*>(QStringLiteral("StatusLine"));
  if (line == nullptr) {
    line = new QLabel(this);
    line->setTextFormat(Qt::PlainText);  // it may name recordings
    line->setObjectName(QStringLiteral("StatusLine"));
    line->setAlignment(Qt::AlignCenter);
    line->setWordWrap(true);
    line->setStyleSheet(QStringLiteral("background: rgb(70, 36, 28); color: white; padding: 6px;"));
    auto* timer = new QTimer(line);
    timer->setObjectName(QStringLiteral("StatusLineTimer"));
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, line, &QLabel::hide);
  }
  // A newer text keeps its own time; one without a time stays.
  auto* timer = line->findChild<QTimer*>(QStringLiteral("StatusLineTimer"));
  timer->stop();
  if (hideAfterMs > 0) timer->start(hideAfterMs);
  line->setText(text);
  const QRect area = pane.isValid() && pane.width() > 40 ? pane : QRect(20, 60, 600, 340);
  line->setGeometry(area.left() + 10, area.center().y() - 25, area.width() - 20, 50);
  line->show();
  line->raise();
}

void CZarezeRadidaDlg::ShowPlaying(bool playing) {
  m_controls->Find(IDC_PLAY)->setVisible(!playing);
  m_controls->Find(IDC_PAUSE)->setVisible(playing);
}

void CZarezeRadidaDlg::SelectRow(int row) {
  QTreeView* list = m_controls->List();
  list->clearSelection();
  const QModelIndex index = m_shown->index(row, 0);
  if (!index.isValid()) return;
  list->setCurrentIndex(index);
  list->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect |
                                            QItemSelectionModel::Rows);
  list->scrollTo(index);
}

void CZarezeRadidaDlg::OnPlay() {
  const int status = m_playback.Player().Status();
  const bool halted = status == CQMVMediaPlayer::kPlaying || status == CQMVMediaPlayer::kStill;
  // With the trips shown and nothing halted, PLAY plays the trip in hand (or the newest).
  if (m_tripMode && !(halted && m_playback.IsOpen()) && PlayTripInHand()) return;
  if (!(halted && RowCount() > 0)) {
    if (RowCount() == 0) return;
    const QModelIndexList selected = m_controls->List()->selectionModel()->selectedRows();
    const int row = selected.isEmpty() ? 0 : selected.first().row();
    if (row != m_state.currentRow) {
      m_state.currentRow = row;
      if (!OpenRecording(RowName(row))) return;
    }
    SelectRow(m_state.currentRow);
    m_controls->List()->setFocus();
  }
  ShowPlaying(true);
  m_playback.Play();
}

void CZarezeRadidaDlg::OnPause() {
  const int status = m_playback.Player().Status();
  if (status != CQMVMediaPlayer::kPlaying && status != CQMVMediaPlayer::kStill) return;
  ShowPlaying(false);
  m_playback.Pause();
}

void CZarezeRadidaDlg::StepRow(int next) {
  if (next < 0 || next >= RowCount()) {
    OnStop();  // past either end of the list
    return;
  }
  m_state.currentRow = next;
  const QString name = RowName(next);
  if (name.isEmpty()) return;
  SelectRow(next);
  OpenRecording(name);
}

void CZarezeRadidaDlg::OnNext() {
  if (!StepInTrip(+1)) StepRow(CKindFilter::NewerRow(CurrentShownRow()));
}

void CZarezeRadidaDlg::OnPrevious() {
  if (!StepInTrip(-1)) StepRow(CKindFilter::OlderRow(CurrentShownRow()));
}

int CZarezeRadidaDlg::CurrentShownRow() const {
  // The row of the recording in hand, wherever the list has put it since it was opened.
  const int row = m_shown->RowOf(m_currentName);
  return row >= 0 ? row : m_state.currentRow;
}

void CZarezeRadidaDlg::ResumeAfterDialog(int statusBefore) {
  // Not when it was stopped meanwhile (the card pulled out while the dialog was open).
  if (statusBefore != CQMVMediaPlayer::kPlaying ||
      m_playback.Player().Status() == CQMVMediaPlayer::kStopped) {
    return;
  }
  ShowPlaying(true);
  m_playback.Player().ResumePlayback();
}

void CZarezeRadidaDlg::SkipBack() {
  if (!m_playback.IsOpen()) return;
  if (m_playback.InTrip()) {
    m_playback.SeekTrip(SkipBackTarget(m_playback.TripPositionMs()));
    return;
  }
  m_playback.Player().SeekToMs(static_cast<int>(SkipBackTarget(m_playback.Player().GetPositionMs())),
                               true);
}

void CZarezeRadidaDlg::SkipForward() {
  if (!m_playback.IsOpen()) return;
  if (m_playback.InTrip()) {
    const int64_t target = SkipForwardTarget(m_playback.TripPositionMs(),
                                             static_cast<int>(m_playback.CurrentTrip().lengthMs / 1000));
    if (target >= 0) {
      m_playback.SeekTrip(target);
    } else {
      OnNext();
    }
    return;
  }
  const int64_t target = SkipForwardTarget(m_playback.Player().GetPositionMs(),
                                           m_controls->Slider(IDC_POS_SLIDER)->GetRangeMax());
  if (target >= 0) {
    m_playback.Player().SeekToMs(static_cast<int>(target), true);
  } else {
    OnNext();  // within the last 10 s: the recording ends, and the list moves on as at its end
  }
}

void CZarezeRadidaDlg::RefreshPosition() {
  // The user may be dragging the position slider.
  if (QGuiApplication::mouseButtons() & Qt::LeftButton) return;
  CBitmapSlider* slider = m_controls->Slider(IDC_POS_SLIDER);
  const int status = m_playback.Player().Status();
  const int64_t second = m_playback.Player().GetPositionMs() / 1000;
  // In a trip the labels and its timeline say the trip's time; the recording's drives the rest.
  int64_t labelSecond = second;
  if (m_playback.InTrip()) {
    const int64_t tripMs = m_playback.TripPositionMs();
    m_timeline->SetPosition(tripMs);
    labelSecond = tripMs / 1000;
  }
  if (status == CQMVMediaPlayer::kStill || status == CQMVMediaPlayer::kStopped) {
    slider->SetPos(static_cast<int>(second));
    UpdateTimeLabels(labelSecond, m_lengthSeconds);
    return;
  }
  if (status != CQMVMediaPlayer::kPlaying || second == slider->GetPos()) return;
  slider->SetPos(static_cast<int>(second));
  UpdateTimeLabels(labelSecond, m_lengthSeconds);
  CGPSData gps;
  if (m_playback.Samples().LastGps(&gps) && gps.IsValid()) {
    UpdatePaneButtons();
    m_map->ShowPosition(gps);
    SetLabelText(IDC_SPEED_LABEL, QString::asprintf("%dkm/h", static_cast<int>(std::clamp(gps.GetSpeed(), 0.0, 99999.0))));
  }
  const std::vector<CGSensorData> samples = m_playback.Samples().GSensorSamples();
  UpdateGraph(*m_controls->Graph(), m_traces, samples, static_cast<int>(second), m_telemetry->Shock());
}

void CZarezeRadidaDlg::LoadMapPage() { m_map->LoadMapPage(&m_state.mapPageLoaded); }

void CZarezeRadidaDlg::UpdateTimeLabels(int64_t positionSeconds, int64_t lengthSeconds) {
  SetLabelText(IDC_POS_LABEL, TimeText(positionSeconds));
  SetLabelText(IDC_LENGTH_LABEL, TimeText(lengthSeconds));
}

void CZarezeRadidaDlg::SetVolumeFromSlider(int value) {
  CxSkinButton* mute = m_controls->Check(IDC_MUTE);
  mute->SetCheck(value == 0);
  CWaveBox::SetOutputVolume(value > 0 ? OutputVolumeFor(value) : 0);
}

void CZarezeRadidaDlg::OnSliderMoved(int id, int position) {
  switch (id) {
    case IDC_POS_SLIDER:
      m_playback.Player().SeekToMs(position * 1000, true);  // the start of that second, exactly
      break;
    case IDC_VOLUME_SLIDER:
      SetVolumeFromSlider(position);
      break;
    case IDC_BRIGHTNESS_SLIDER:
      ApplyBrightness(position);  // also redraws a halted picture
      break;
    default:
      break;
  }
}

void CZarezeRadidaDlg::OnMute() {
  if (m_controls->Check(IDC_MUTE)->GetCheck()) {
    CWaveBox::SetOutputVolume(0);
  } else {
    CWaveBox::SetOutputVolume(OutputVolumeFor(m_controls->Slider(IDC_VOLUME_SLIDER)->GetPos()));
  }
}

void CZarezeRadidaDlg::ConnectTransportControls() {
  const std::pair<int, void (CZarezeRadidaDlg::*)()> handlers[] = {
      {IDC_PLAY, &CZarezeRadidaDlg::OnPlay},       {IDC_PAUSE, &CZarezeRadidaDlg::OnPause},
      {IDC_STOP, &CZarezeRadidaDlg::OnStop},       {IDC_PRE, &CZarezeRadidaDlg::OnPrevious},
      {IDC_NEXT, &CZarezeRadidaDlg::OnNext},       {IDC_BACK10, &CZarezeRadidaDlg::SkipBack},
      {IDC_FWD10, &CZarezeRadidaDlg::SkipForward}, {IDC_MUTE, &CZarezeRadidaDlg::OnMute},
  };
  for (const auto& [id, handler] : handlers) {
    auto* button = qobject_cast<QAbstractButton*>(m_controls->Find(id));
    connect(button, &QAbstractButton::clicked, this, handler);
  }
  m_inputFilter = std::make_unique<CInputFilter>(this);
  QCoreApplication::instance()->installEventFilter(m_inputFilter.get());
}
