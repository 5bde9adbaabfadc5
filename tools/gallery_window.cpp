// The main window's face as the skin builds it: every skinned control at its place in the
// normal display mode, with sample labels, list rows and graph data.
#include "tools/gallery.h"

#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QTreeWidget>

#include "controls/bitmap_button_trans.h"
#include "controls/bitmap_slider.h"
#include "controls/skin_face.h"
#include "controls/skin_button.h"
#include "controls/trans_bitmap.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "sensors/graph_static.h"
#include "sensors/gsensor_graph.h"

namespace {

const ButtonSkin kWindowButtons[] = {
    {IDC_OPEN, IDB_OPEN, IDB_OPEN_DOWN, 0, true, 28, 473},
    {IDC_STOP, IDB_STOP, IDB_STOP_DOWN, 0, true, 87, 474},
    {IDC_PRE, IDB_PRE, IDB_PRE_DOWN, 0, true, 137, 473},
    {IDC_BACK10, IDB_BACK10, IDB_BACK10_DOWN, 0, true, 198, 473},
    {IDC_PAUSE, IDB_PAUSE, 0, 0, true, 261, 473},
    {IDC_FWD10, IDB_FWD10, IDB_FWD10_DOWN, 0, true, 313, 473},
    {IDC_NEXT, IDB_NEXT, IDB_NEXT_DOWN, 0, true, 368, 473},
    {IDC_ZOOM, IDB_ZOOM, IDB_ZOOM_DOWN, 0, true, 431, 471},
    {IDC_CAPTURE, IDB_CAPTURE, IDB_CAPTURE_DOWN, 0, true, 484, 472},
    {IDC_SETTINGS, IDB_SETTINGS, IDB_SETTINGS_DOWN, 0, true, 546, 471},
    {IDC_BRIGHTNESS_ICON, IDB_BRIGHTNESS, 0, 0, true, 832, 470},
    {IDC_FULLSCREEN, IDB_FULLSCREEN, IDB_FULLSCREEN_DOWN, 0, false, 923, 5},
    {IDC_MINIMIZE, IDB_MINIMIZE, IDB_MINIMIZE_DOWN, 0, false, 898, 5},
    {IDC_CLOSE, IDB_CLOSE, IDB_CLOSE_DOWN, 0, false, 948, 5},
    {IDC_SWAP, IDB_SWAP, IDB_SWAP_DOWN, IDB_SWAP_DISABLED, false, 324, 39},
    {IDC_MAP, IDB_MAP, IDB_MAP_DOWN, IDB_MAP_DISABLED, false, 485, 39},
    {IDC_FILTER_DRIVING, IDB_FILTER_DRIVING, IDB_FILTER_DRIVING_DOWN, 0, true, 648, 39},
    {IDC_FILTER_EVENT, IDB_FILTER_EVENT, IDB_FILTER_EVENT_DOWN, 0, true, 713, 39},
    {IDC_FILTER_PARKING, IDB_FILTER_PARKING, IDB_FILTER_PARKING_DOWN, 0, true, 778, 39},
    {IDC_FILTER_USER, IDB_FILTER_USER, IDB_FILTER_USER_DOWN, 0, true, 843, 39},
    {IDC_FILTER_ALL, IDB_FILTER_ALL, IDB_FILTER_ALL_DOWN, 0, true, 908, 39},
    {IDC_DOWNLOAD, IDB_DOWNLOAD, IDB_DOWNLOAD_DOWN, 0, false, 825, 217},
};

void AddLabel(QWidget* face, int id, const QString& text, QRect where) {
  auto* label = new QLabel(text, face);  // owned by face
  label->setObjectName(QString::number(id));
  label->setGeometry(where);
  label->setStyleSheet(QStringLiteral("color: rgb(247, 88, 46); background: transparent;"));
}

void AddList(QWidget* face) {
  auto* list = new QTreeWidget(face);
  list->setGeometry(648, 83, 325, 130);
  list->setHeaderHidden(true);
  list->setColumnCount(3);
  list->setRootIsDecorated(false);
  list->setFrameShape(QFrame::NoFrame);
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list->setStyleSheet(QStringLiteral("QTreeWidget { background: black; color: rgb(220,224,230); }"
                                     "QTreeWidget::item:selected { background: rgb(70,36,28); }"));
  const char* rows[][3] = {{"E", "2024.05.01 08:31:02", "O"}, {"D", "2024.05.01 08:30:00", "O"},
                           {"D", "2024.05.01 08:29:00", "O"}, {"P", "2024.04.30 22:10:45", "X"},
                           {"U", "2024.04.30 18:02:13", "O"}};
  for (const auto& r : rows) {
    auto* item = new QTreeWidgetItem(list, {r[0], r[1], r[2]});
    item->setCheckState(0, Qt::Unchecked);
    for (int c = 0; c < 3; ++c) item->setTextAlignment(c, Qt::AlignCenter);
  }
  list->setColumnWidth(0, 60);
  list->setColumnWidth(1, 190);
  list->setColumnWidth(2, 60);
  list->topLevelItem(1)->setSelected(true);
}

void AddGraph(QWidget* face) {
  auto* graph = new CGraphStatic(IDC_GRAPH, QSize(760, 104), face);
  graph->move(30, 520);
  static GSensorTraces traces = SetupGSensorGraph(*graph);
  std::vector<CGSensorData> samples;
  for (int i = 0; i < 57; ++i) {
    int bump = (i > 30 && i < 36) ? (i - 30) * 18 : 0;
    samples.push_back(
        CGSensorData::FromAxes((i * 7) % 23 - 11 + bump, (i * 5) % 13 - 6 - bump / 2, (i * 3) % 9 - 4));
  }
  UpdateGraph(*graph, traces, samples, 57);
}

}  // namespace

std::unique_ptr<QWidget> MakeGalleryWindow() {
  auto face = std::make_unique<CSkinFace>();
  for (const ButtonSkin& s : kWindowButtons) MakeButton(s, face.get())->move(s.x, s.y);
  auto* position = new CBitmapSlider(IDC_POS_SLIDER, face.get());
  position->SetBitmapChannel(IDB_POS_CHANNEL, IDB_POS_CHANNEL_ACTIVE, true, kKeyFromPixel, 0, 0);
  position->SetRange(0, 180);
  position->SetPos(83);
  position->move(92, 432);
  for (auto [id, x, pos, min, max] : {std::tuple{IDC_VOLUME_SLIDER, 715, 60, 0, 99},
                                      std::tuple{IDC_BRIGHTNESS_SLIDER, 864, 1, -5, 5}}) {
    auto* slider = MakeSmallSlider(id, face.get());
    slider->SetRange(min, max);
    slider->SetPos(pos);
    slider->move(x, 476);
  }
  for (const CheckSkin& c : kCheckSkins) {
    CxSkinButton* box = MakeCheck(c, face.get());
    box->move(c.x, c.y);
    box->SetCheck(c.id == IDC_SMALL_CAMERA);
  }
  auto* title = new TransBitmap(IDC_LIST_TITLE, face.get());
  title->SetBitmapId(IDB_LIST_TITLE_EN);
  title->setGeometry(648, 65, 325, 18);
  AddLabel(face.get(), IDC_POS_LABEL, "00:01:23", QRect(25, 433, 56, 14));
  AddLabel(face.get(), IDC_LENGTH_LABEL, "00:03:00", QRect(495, 433, 56, 14));
  AddLabel(face.get(), IDC_SPEED_LABEL, "42km/h", QRect(580, 433, 56, 14));
  AddLabel(face.get(), IDC_SELECT_ALL, QString::fromUtf8("☐ Select All"), QRect(650, 218, 117, 20));
  AddList(face.get());
  AddGraph(face.get());
  return face;
}

CBitmapButtonTrans* MakeButton(const ButtonSkin& skin, QWidget* parent) {
  auto* button = new CBitmapButtonTrans(skin.id, parent);
  if (skin.blackKey) button->SetTransparentColor(0);
  button->LoadBitmaps(skin.normal, skin.down, skin.normal, skin.disabled);
  button->SizeToContent();
  return button;
}

CxSkinButton* MakeCheck(const CheckSkin& skin, QWidget* parent) {
  auto* box = new CxSkinButton(skin.id, kBsAutoCheckBox | kBsPushLike, parent);
  box->SetSkin(skin.normal, skin.down, 0, skin.disabled, 0, 0, 0, 0, 0);
  QImage normal = LoadSkinBitmap(skin.normal);
  box->resize(normal.size());
  return box;
}

CBitmapSlider* MakeSmallSlider(int id, QWidget* parent) {
  auto* slider = new CBitmapSlider(id, parent);
  slider->SetBitmapChannel(IDB_SMALL_CHANNEL, IDB_SMALL_CHANNEL_ACTIVE, true, kKeyFromPixel, 0, 0);
  slider->SetBitmapThumb(IDB_THUMB, IDB_THUMB, true, kKeyFromPixel, 0, 0);
  slider->SetDrawFocusRect(false);
  return slider;
}
