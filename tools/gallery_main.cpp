// roadkeep-gallery OUT.png: draws the main window's face with every skinned control, then
// each control in its states (normal, pressed, hover, disabled, checked), the sliders at
// several positions, the full-screen parts and the progress dialog in three languages.
#include <QApplication>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPainter>
#include <cstdio>
#include <functional>

#include "controls/bitmap_button_trans.h"
#include "controls/bitmap_slider.h"
#include "controls/progress_dlg.h"
#include "controls/skin_button.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "tools/gallery.h"

namespace {

const QColor kSheet(18, 20, 24), kCell(27, 30, 36), kCaption(150, 156, 166);

// A cell with the panel colour on which one control is shown.
class Cell : public QWidget {
 public:
  explicit Cell(QSize size) { resize(size); }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), kCell); }
};

// Moves the mouse over control, as far as the control can tell.
void Hover(QWidget* control) {
  QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(control, &move);
}

QImage Shot(QWidget* control, QSize cellSize, const std::function<void()>& setState) {
  Cell cell(cellSize);
  control->setParent(&cell);
  control->move((cellSize.width() - control->width()) / 2,
                (cellSize.height() - control->height()) / 2);
  setState();
  QImage image = cell.grab().toImage();
  control->setParent(nullptr);
  return image;
}

class Sheet {
 public:
  Sheet() : m_image(1000, 3200, QImage::Format_RGB32), m_p(&m_image) {
    m_image.fill(kSheet);
    m_p.setFont(QFont("DejaVu Sans", 9));
  }
  void Heading(const QString& text) {
    m_y += 14;
    m_p.setPen(QColor(247, 88, 46));
    m_p.setFont(QFont("DejaVu Sans", 11, QFont::Bold));
    m_p.drawText(12, m_y + 14, text);
    m_p.setFont(QFont("DejaVu Sans", 9));
    m_y += 22;
  }
  void Row(const QString& caption, const std::vector<QImage>& shots, const QStringList& names) {
    int x = 150, h = 0;
    m_p.setPen(kCaption);
    m_p.drawText(QRect(12, m_y, 135, 24), Qt::AlignLeft | Qt::AlignVCenter, caption);
    for (size_t i = 0; i < shots.size(); ++i) {
      if (x + shots[i].width() > 990) break;
      m_p.drawImage(x, m_y, shots[i]);
      if (i < size_t(names.size())) {
        m_p.drawText(QRect(x, m_y + shots[i].height(), shots[i].width(), 14), Qt::AlignCenter, names[i]);
      }
      x += shots[i].width() + 8;
      h = std::max(h, shots[i].height());
    }
    m_y += h + 20;
  }
  void Image(const QImage& image, int x) { m_p.drawImage(x, m_y, image); }
  void Advance(int dy) { m_y += dy; }
  QImage Finish() {
    m_p.end();
    return m_image.copy(0, 0, 1000, m_y + 10);
  }

 private:
  QImage m_image;
  QPainter m_p;
  int m_y = 0;
};

void ButtonRows(Sheet& sheet) {
  const ButtonSkin kButtons[] = {
      {IDC_PLAY, IDB_PLAY, 0, 0, true, 0, 0}, {IDC_PAUSE, IDB_PAUSE, 0, 0, true, 0, 0},
      {IDC_STOP, IDB_STOP, IDB_STOP_DOWN, 0, true, 0, 0}, {IDC_PRE, IDB_PRE, IDB_PRE_DOWN, 0, true, 0, 0},
      {IDC_NEXT, IDB_NEXT, IDB_NEXT_DOWN, 0, true, 0, 0}, {IDC_BACK10, IDB_BACK10, IDB_BACK10_DOWN, 0, true, 0, 0},
      {IDC_FWD10, IDB_FWD10, IDB_FWD10_DOWN, 0, true, 0, 0}, {IDC_OPEN, IDB_OPEN, IDB_OPEN_DOWN, 0, true, 0, 0},
      {IDC_CAPTURE, IDB_CAPTURE, IDB_CAPTURE_DOWN, 0, true, 0, 0}, {IDC_SETTINGS, IDB_SETTINGS, IDB_SETTINGS_DOWN, 0, true, 0, 0},
      {IDC_ZOOM, IDB_ZOOM, IDB_ZOOM_DOWN, 0, true, 0, 0}, {IDC_BRIGHTNESS_ICON, IDB_BRIGHTNESS, 0, 0, true, 0, 0},
      {IDC_FULLSCREEN, IDB_FULLSCREEN, IDB_FULLSCREEN_DOWN, 0, false, 0, 0},
      {IDC_WINDOW, IDB_WINDOW, IDB_WINDOW_DOWN, 0, false, 0, 0},
      {IDC_MINIMIZE, IDB_MINIMIZE, IDB_MINIMIZE_DOWN, 0, false, 0, 0},
      {IDC_CLOSE, IDB_CLOSE, IDB_CLOSE_DOWN, 0, false, 0, 0},
  };
  const QSize cell(40, 32);
  sheet.Heading("Bitmap buttons: normal, pressed, hover, disabled");
  const char* captions[] = {"play/pause/stop/pre", "next/-10/+10/open", "snap/setup/zoom/sun",
                            "full/win/min/close"};
  for (int row = 0; row < 4; ++row) {
    std::vector<QImage> shots;
    QStringList names;
    for (int i = row * 4; i < row * 4 + 4; ++i) {
      for (int state = 0; state < 4; ++state) {
        CBitmapButtonTrans* b = MakeButton(kButtons[i], nullptr);
        shots.push_back(Shot(b, cell, [b, state] {
          b->setDown(state == 1);
          if (state == 2) Hover(b);
          b->setEnabled(state != 3);
        }));
        names << QStringList{"n", "p", "h", "d"}[state];
        delete b;
      }
    }
    sheet.Row(captions[row], shots, names);
  }
}

void WideButtonRows(Sheet& sheet) {
  const ButtonSkin kWide[] = {
      {IDC_FILTER_DRIVING, IDB_FILTER_DRIVING, IDB_FILTER_DRIVING_DOWN, 0, true, 0, 0},
      {IDC_FILTER_EVENT, IDB_FILTER_EVENT, IDB_FILTER_EVENT_DOWN, 0, true, 0, 0},
      {IDC_FILTER_PARKING, IDB_FILTER_PARKING, IDB_FILTER_PARKING_DOWN, 0, true, 0, 0},
      {IDC_FILTER_USER, IDB_FILTER_USER, IDB_FILTER_USER_DOWN, 0, true, 0, 0},
      {IDC_FILTER_ALL, IDB_FILTER_ALL, IDB_FILTER_ALL_DOWN, 0, true, 0, 0},
      {IDC_SWAP, IDB_SWAP, IDB_SWAP_DOWN, IDB_SWAP_DISABLED, false, 0, 0},
      {IDC_MAP, IDB_MAP, IDB_MAP_DOWN, IDB_MAP_DISABLED, false, 0, 0},
      {IDC_FULL_SWAP, IDB_FULL_SWAP, IDB_FULL_SWAP_DOWN, IDB_FULL_SWAP_DISABLED, false, 0, 0},
      {IDC_DOWNLOAD, IDB_DOWNLOAD, IDB_DOWNLOAD_DOWN, 0, false, 0, 0},
  };
  sheet.Heading("List filters, pane buttons, export: normal, pressed, disabled");
  for (const ButtonSkin& s : kWide) {
    std::vector<QImage> shots;
    for (int state = 0; state < 3; ++state) {
      CBitmapButtonTrans* b = MakeButton(s, nullptr);
      QSize cell(b->width() + 12, b->height() + 8);
      shots.push_back(Shot(b, cell, [b, state] {
        b->setDown(state == 1);
        b->setEnabled(state != 2);
      }));
      delete b;
    }
    sheet.Row(QString("control %1").arg(s.id), shots, {"normal", "pressed", "disabled"});
  }
}

void CheckRows(Sheet& sheet) {
  sheet.Heading("Skin check boxes: normal, pressed, hover, disabled, checked");
  std::vector<QImage> shots;
  QStringList names;
  for (const CheckSkin& c : kCheckSkins) {
    for (int state = 0; state < 5; ++state) {
      CxSkinButton* box = MakeCheck(c, nullptr);
      QSize cell(box->width() + 10, box->height() + 8);
      shots.push_back(Shot(box, cell, [box, state] {
        box->setDown(state == 1);
        if (state == 2) Hover(box);
        box->setEnabled(state != 3);
        box->SetCheck(state == 4);
      }));
      names << QStringList{"n", "p", "h", "d", "c"}[state];
      delete box;
    }
    if (c.id != 1236) {
      sheet.Row(c.id == 1023 ? "mirror, mute" : QString("control %1").arg(c.id), shots, names);
      shots.clear();
      names.clear();
    }
  }
}

void SliderRows(Sheet& sheet) {
  sheet.Heading("Sliders at several positions; the last one disabled");
  const QSize wide(405, 22), small(93, 22);
  for (auto [channel, active, name] : {std::tuple{IDB_POS_CHANNEL, IDB_POS_CHANNEL_ACTIVE, "position"},
                                       std::tuple{IDB_POS_CHANNEL_FULL, IDB_POS_CHANNEL_FULL_ACTIVE, "full screen"}}) {
    for (auto [left, right] : {std::pair{0, 33}, std::pair{66, 100}}) {
      std::vector<QImage> shots;
      for (int pos : {left, right}) {
        auto* slider = new CBitmapSlider(IDC_POS_SLIDER);
        slider->SetBitmapChannel(channel, active, true, kKeyFromPixel, 0, 0);
        shots.push_back(Shot(slider, wide, [slider, pos] { slider->SetPos(pos); }));
        delete slider;
      }
      sheet.Row(QString("%1 %2, %3").arg(name).arg(left).arg(right), shots, {});
    }
  }
  std::vector<QImage> shots;
  QStringList names;
  for (auto [id, min, max, pos, enabled] :
       {std::tuple{IDC_VOLUME_SLIDER, 0, 99, 0, true}, std::tuple{IDC_VOLUME_SLIDER, 0, 99, 50, true},
        std::tuple{IDC_VOLUME_SLIDER, 0, 99, 99, true}, std::tuple{IDC_BRIGHTNESS_SLIDER, -5, 5, -5, true},
        std::tuple{IDC_BRIGHTNESS_SLIDER, -5, 5, 0, true}, std::tuple{IDC_BRIGHTNESS_SLIDER, -5, 5, 5, true},
        std::tuple{IDC_VOLUME_SLIDER, 0, 99, 50, false}}) {
    CBitmapSlider* slider = MakeSmallSlider(id, nullptr);
    slider->SetRange(min, max);
    // Init-captures: clang before 16 cannot capture structured bindings by name.
    shots.push_back(Shot(slider, small, [slider, pos = pos, enabled = enabled] {
      slider->SetPos(pos);
      slider->setEnabled(enabled);
    }));
    names << QString::number(pos);
    delete slider;
  }
  sheet.Row("volume, brightness", shots, names);
}

void StaticRows(Sheet& sheet) {
  sheet.Heading("List titles (Korean, English, Japanese), icon, full-screen bars");
  sheet.Row("1114", {LoadSkinBitmap(IDB_LIST_TITLE_KO), LoadSkinBitmap(IDB_LIST_TITLE_EN)}, {});
  sheet.Row("", {LoadSkinBitmap(IDB_LIST_TITLE_JA)}, {});
  QIcon icon = LoadAppIcon(IDI_APP);
  sheet.Row("icon 143", {icon.pixmap(32, 32).toImage(), icon.pixmap(16, 16).toImage()}, {});
  sheet.Row("1242, 1243", {LoadSkinBitmap(IDB_BAR_TOP).scaled(400, 40),
                           LoadSkinBitmap(IDB_BAR_BOTTOM).scaled(400, 45)}, {});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: roadkeep-gallery OUT.png\n");
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  Sheet sheet;
  sheet.Heading("Main window (normal display mode)");
  std::unique_ptr<QWidget> window = MakeGalleryWindow();
  sheet.Image(window->grab().toImage(), 12);
  sheet.Advance(640);
  ButtonRows(sheet);
  WideButtonRows(sheet);
  CheckRows(sheet);
  SliderRows(sheet);
  StaticRows(sheet);
  sheet.Heading("Progress dialog: English, Korean, Japanese");
  std::vector<QImage> dialogs;
  for (unsigned langId : {0x409u, 0x412u, 0x411u}) {
    CProgressDlg dialog(nullptr, langId);
    dialog.SetStatusText("DRIVING_20240501_083000_D");
    dialog.FileBar()->setValue(40);
    dialog.OverallBar()->setValue(70);
    dialogs.push_back(dialog.grab().toImage());
  }
  sheet.Row("English", {dialogs[0]}, {});
  sheet.Row("Korean", {dialogs[1]}, {});
  sheet.Row("Japanese", {dialogs[2]}, {});
  QImage out = sheet.Finish();
  if (!out.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "roadkeep-gallery: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
