#include "app/window_controls.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QTreeView>

#include "app/video_pane.h"
#include "controls/bitmap_button_trans.h"
#include "controls/bitmap_slider.h"
#include "controls/control_message.h"
#include "controls/skin_button.h"
#include "controls/trans_bitmap.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "sensors/graph_static.h"

namespace {

struct ButtonSkin {
  int id;
  int normal, pressed, focused, disabled;
  bool blackKey;
};

// In the order the window skins them.
constexpr ButtonSkin kButtonSkins[] = {
    {IDC_PLAY, IDB_PLAY, 0, 0, 0, true},
    {IDC_PAUSE, IDB_PAUSE, 0, 0, 0, true},
    {IDC_OPEN, IDB_OPEN, IDB_OPEN_DOWN, IDB_OPEN, 0, true},
    {IDC_STOP, IDB_STOP, IDB_STOP_DOWN, IDB_STOP, 0, true},
    {IDC_PRE, IDB_PRE, IDB_PRE_DOWN, IDB_PRE, 0, true},
    {IDC_BACK10, IDB_BACK10, IDB_BACK10_DOWN, IDB_BACK10, 0, true},
    {IDC_FWD10, IDB_FWD10, IDB_FWD10_DOWN, IDB_FWD10, 0, true},
    {IDC_NEXT, IDB_NEXT, IDB_NEXT_DOWN, IDB_NEXT, 0, true},
    {IDC_FILTER_DRIVING, IDB_FILTER_DRIVING, IDB_FILTER_DRIVING_DOWN, IDB_FILTER_DRIVING, 0, true},
    {IDC_FILTER_EVENT, IDB_FILTER_EVENT, IDB_FILTER_EVENT_DOWN, IDB_FILTER_EVENT, 0, true},
    {IDC_FILTER_PARKING, IDB_FILTER_PARKING, IDB_FILTER_PARKING_DOWN, IDB_FILTER_PARKING, 0, true},
    {IDC_FILTER_USER, IDB_FILTER_USER, IDB_FILTER_USER_DOWN, IDB_FILTER_USER, 0, true},
    {IDC_FILTER_ALL, IDB_FILTER_ALL, IDB_FILTER_ALL_DOWN, IDB_FILTER_ALL, 0, true},
    {IDC_DOWNLOAD, IDB_DOWNLOAD, IDB_DOWNLOAD_DOWN, IDB_DOWNLOAD, 0, false},
    {IDC_SWAP, IDB_SWAP, IDB_SWAP_DOWN, IDB_SWAP, IDB_SWAP_DISABLED, false},
    {IDC_FULL_SWAP, IDB_FULL_SWAP, IDB_FULL_SWAP_DOWN, IDB_FULL_SWAP, IDB_FULL_SWAP_DISABLED,
     false},
    {IDC_MAP, IDB_MAP, IDB_MAP_DOWN, IDB_MAP, IDB_MAP_DISABLED, false},
    {IDC_FULLSCREEN, IDB_FULLSCREEN, IDB_FULLSCREEN_DOWN, IDB_FULLSCREEN, 0, false},
    {IDC_MINIMIZE, IDB_MINIMIZE, IDB_MINIMIZE_DOWN, IDB_MINIMIZE, 0, false},
    {IDC_CLOSE, IDB_CLOSE, IDB_CLOSE_DOWN, IDB_CLOSE, 0, false},
    {IDC_SETTINGS, IDB_SETTINGS, IDB_SETTINGS_DOWN, IDB_SETTINGS, 0, true},
    {IDC_ZOOM, IDB_ZOOM, IDB_ZOOM_DOWN, IDB_ZOOM, 0, true},
    {IDC_CAPTURE, IDB_CAPTURE, IDB_CAPTURE_DOWN, IDB_CAPTURE, 0, true},
    {IDC_WINDOW, IDB_WINDOW, IDB_WINDOW_DOWN, IDB_WINDOW, 0, false},
    {IDC_BRIGHTNESS_ICON, IDB_BRIGHTNESS, 0, 0, 0, true},
};

struct CheckSkin {
  int id;
  int normal, pressed, over, disabled;
};

constexpr CheckSkin kCheckSkins[] = {
    {IDC_SMALL_MAP, IDB_SMALL_MAP, IDB_SMALL_MAP_DOWN, 0, IDB_SMALL_MAP_DISABLED},
    {IDC_SMALL_CAMERA, IDB_SMALL_CAMERA, IDB_SMALL_CAMERA_DOWN, 0, IDB_SMALL_CAMERA_DISABLED},
    {IDC_MIRROR, IDB_MIRROR, IDB_MIRROR_DOWN, 0, IDB_MIRROR},
    {IDC_MUTE, IDB_MUTE, IDB_MUTE_DOWN, 0, IDB_MUTE},
};

// A full-screen bar: its narrow bitmap stretched over the bar's whole size.
class CBarImage : public QWidget {
 public:
  CBarImage(int id, int bitmap, QWidget* parent)
      : QWidget(parent), m_bitmap(LoadSkinBitmap(bitmap)) {
    SetControlId(this, id);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(rect(), m_bitmap); }

 private:
  QImage m_bitmap;
};

QLabel* MakeLabel(int id, QWidget* parent) {
  auto* label = new QLabel(parent);
  SetControlId(label, id);
  label->setTextFormat(Qt::PlainText);  // names and times from the card
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  QFont font = label->font();
  font.setPixelSize(11);
  label->setFont(font);
  return label;
}

}  // namespace

CWindowControls::CWindowControls(QWidget* parent) {
  MakeButtons(parent);
  MakeOthers(parent);
}

void CWindowControls::Add(int id, QWidget* control) {
  SetControlId(control, id);
  m_byId.insert(id, control);
  m_ids.append(id);
}

void CWindowControls::MakeButtons(QWidget* parent) {
  for (const ButtonSkin& skin : kButtonSkins) Add(skin.id, new CBitmapButtonTrans(skin.id, parent));
  Button(IDC_BRIGHTNESS_ICON)->setEnabled(false);
  for (const CheckSkin& skin : kCheckSkins) {
    Add(skin.id, new CxSkinButton(skin.id, kBsAutoCheckBox | kBsPushLike, parent));
  }
  for (int id : {IDC_POS_SLIDER, IDC_VOLUME_SLIDER, IDC_BRIGHTNESS_SLIDER}) {
    Add(id, new CBitmapSlider(id, parent));
  }
}

void CWindowControls::ShowPressed(int id, bool pressed) {
  for (const ButtonSkin& skin : kButtonSkins) {
    if (skin.id != id || skin.pressed == 0) continue;
    const int normal = pressed ? skin.pressed : skin.normal;
    Button(id)->LoadBitmaps(normal, skin.pressed, pressed ? skin.pressed : skin.focused,
                            skin.disabled);
    Button(id)->update();
  }
}

void CWindowControls::MakeOthers(QWidget* parent) {
  for (int id : {IDC_POS_LABEL, IDC_LENGTH_LABEL, IDC_SPEED_LABEL}) Add(id, MakeLabel(id, parent));

  m_title = new TransBitmap(IDC_LIST_TITLE, parent);
  Add(IDC_LIST_TITLE, m_title);

  // The recording list: check boxes, full-row selection, no header (white on black, set by
  // the window's initialisation).
  m_list = new QTreeView(parent);
  m_list->setHeaderHidden(true);
  m_list->setRootIsDecorated(false);
  m_list->setFrameShape(QFrame::NoFrame);
  m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  Add(IDC_LIST, m_list);

  m_selectAll = new QCheckBox(parent);
  Add(IDC_SELECT_ALL, m_selectAll);

  m_front = new CVideoPane(IDC_FRONT_PANE, parent);
  Add(IDC_FRONT_PANE, m_front);
  m_rear = new CVideoPane(IDC_REAR_PANE, parent);
  Add(IDC_REAR_PANE, m_rear);
  // The map's place; the map view is made when a recording is first opened.
  m_map = new QWidget(parent);
  Add(IDC_MAP_VIEW, m_map);

  m_graph = new CGraphStatic(IDC_GRAPH, QSize(760, 104), parent);
  Add(IDC_GRAPH, m_graph);

  m_topBar = new CBarImage(IDC_BAR_TOP, IDB_BAR_TOP, parent);
  Add(IDC_BAR_TOP, m_topBar);
  m_bottomBar = new CBarImage(IDC_BAR_BOTTOM, IDB_BAR_BOTTOM, parent);
  Add(IDC_BAR_BOTTOM, m_bottomBar);
}

void CWindowControls::Skin(UiLanguage lang) {
  for (const ButtonSkin& skin : kButtonSkins) {
    CBitmapButtonTrans* button = Button(skin.id);
    if (skin.blackKey) button->SetTransparentColor(0);
    button->LoadBitmaps(skin.normal, skin.pressed, skin.focused, skin.disabled);
    button->SizeToContent();
  }
  // The see-through key of every slider bitmap is its top-left pixel.
  CBitmapSlider* position = Slider(IDC_POS_SLIDER);
  position->SetBitmapChannel(IDB_POS_CHANNEL, IDB_POS_CHANNEL_ACTIVE, true, kKeyFromPixel, 0, 0);
  position->update();
  CBitmapSlider* volume = Slider(IDC_VOLUME_SLIDER);
  volume->SetBitmapChannel(IDB_SMALL_CHANNEL, IDB_SMALL_CHANNEL_ACTIVE, true, kKeyFromPixel, 0, 0);
  volume->SetBitmapThumb(IDB_THUMB, IDB_THUMB, true, kKeyFromPixel, 0, 0);
  volume->SetPageSize(25);
  volume->SetRange(0, 99, true);
  CBitmapSlider* brightness = Slider(IDC_BRIGHTNESS_SLIDER);
  brightness->SetBitmapChannel(IDB_SMALL_CHANNEL, IDB_SMALL_CHANNEL_ACTIVE, true, kKeyFromPixel, 0,
                               0);
  brightness->SetBitmapThumb(IDB_THUMB, IDB_THUMB, true, kKeyFromPixel, 0, 0);
  brightness->SetRange(-5, 5, true);
  for (const CheckSkin& skin : kCheckSkins) {
    Check(skin.id)->SetSkin(skin.normal, skin.pressed, skin.over, skin.disabled, 0, 0, 0, 0, 0);
    Check(skin.id)->resize(LoadSkinBitmap(skin.normal).size());
  }
  m_title->SetBitmapId(ListTitleBitmap(lang));
  m_selectAll->setText(PickText(lang, "  전체 선택", "  Select All", "  すべて選択"));
}

int CWindowControls::ListTitleBitmap(UiLanguage lang) {
  switch (lang) {
    case UiLanguage::kJapanese:
      return IDB_LIST_TITLE_JA;
    case UiLanguage::kKorean:
      return IDB_LIST_TITLE_KO;
    default:
      return IDB_LIST_TITLE_EN;
  }
}

CBitmapButtonTrans* CWindowControls::Button(int id) const {
  return dynamic_cast<CBitmapButtonTrans*>(Find(id));
}

CxSkinButton* CWindowControls::Check(int id) const { return dynamic_cast<CxSkinButton*>(Find(id)); }

CBitmapSlider* CWindowControls::Slider(int id) const {
  return dynamic_cast<CBitmapSlider*>(Find(id));
}

QLabel* CWindowControls::Label(int id) const { return dynamic_cast<QLabel*>(Find(id)); }
