#include "settings/setting_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <ctime>

#include "controls/control_message.h"
#include "controls/progress_dlg.h"
#include "resources/resource_ids.h"

namespace {

enum class Kind { kGroup, kLabel, kCentred, kList, kCheck, kSlider, kButton };

struct TemplateControl {
  int id;
  Kind kind;
  int x, y, w, h;  // dialog units; a list's height includes its drop-down
};

constexpr int kTemplateWidth = 379, kTemplateHeight = 364;

// Template 303 in its own order, so group boxes lie below the controls drawn over them.
constexpr TemplateControl kTemplate[] = {
    {IDC_SET_STORAGE_GROUP, Kind::kGroup, 12, 7, 350, 71},
    {IDC_SET_CONST_LABEL, Kind::kLabel, 22, 23, 69, 12},
    {IDC_SET_CONST, Kind::kList, 100, 22, 66, 175},
    {IDC_SET_PARK_LABEL, Kind::kLabel, 22, 41, 69, 12},
    {IDC_SET_PARK, Kind::kList, 100, 41, 66, 184},
    {IDC_SET_EVENT_LABEL, Kind::kLabel, 205, 23, 69, 12},
    {IDC_SET_EVENT, Kind::kList, 283, 22, 66, 163},
    {IDC_SET_MANUAL_LABEL, Kind::kLabel, 205, 41, 69, 12},
    {IDC_SET_MANUAL, Kind::kList, 283, 41, 66, 163},
    {IDC_SET_CAUTION, Kind::kLabel, 19, 63, 146, 8},
    {IDC_SET_SETTINGS_GROUP, Kind::kGroup, 12, 84, 350, 145},
    {IDC_SET_VOLTAGE_LABEL, Kind::kLabel, 22, 97, 58, 12},
    {IDC_SET_VOLTAGE, Kind::kList, 86, 97, 81, 175},
    {IDC_SET_MIC_LABEL, Kind::kLabel, 22, 120, 58, 12},
    {IDC_SET_MIC_ON, Kind::kCheck, 86, 120, 47, 12},
    {IDC_SET_MIC_OFF, Kind::kCheck, 173, 120, 47, 12},
    {IDC_SET_VOICE_LABEL, Kind::kLabel, 22, 140, 58, 12},
    {IDC_SET_VOICE_ON, Kind::kCheck, 86, 140, 47, 12},
    {IDC_SET_VOICE_OFF, Kind::kCheck, 173, 140, 47, 12},
    {IDC_SET_LOW, Kind::kCentred, 130, 159, 47, 13},
    {IDC_SET_NORMAL, Kind::kCentred, 224, 159, 47, 13},
    {IDC_SET_HIGH, Kind::kCentred, 326, 159, 32, 13},
    {IDC_SET_ACC_LABEL, Kind::kLabel, 22, 172, 58, 25},
    {IDC_SET_BIKE, Kind::kCheck, 86, 172, 62, 25},
    {IDC_SET_ACC, Kind::kSlider, 144, 172, 207, 25},
    {IDC_SET_MOTION_LABEL, Kind::kLabel, 22, 195, 58, 25},
    {IDC_SET_MOTION, Kind::kSlider, 144, 195, 207, 25},
    {IDC_SET_TIME_GROUP, Kind::kGroup, 12, 237, 350, 39},
    {IDC_SET_SYNC_LABEL, Kind::kLabel, 21, 253, 62, 12},
    {IDC_SET_SYNC, Kind::kCheck, 87, 253, 10, 12},
    {IDC_SET_YEAR, Kind::kList, 102, 253, 34, 175},
    {IDC_SET_YEAR_UNIT, Kind::kLabel, 139, 256, 8, 8},
    {IDC_SET_MONTH, Kind::kList, 149, 253, 27, 175},
    {IDC_SET_MONTH_UNIT, Kind::kLabel, 179, 256, 8, 8},
    {IDC_SET_DAY, Kind::kList, 190, 253, 27, 175},
    {IDC_SET_DAY_UNIT, Kind::kLabel, 220, 256, 8, 8},
    {IDC_SET_HOUR, Kind::kList, 232, 253, 27, 175},
    {IDC_SET_HOUR_UNIT, Kind::kLabel, 262, 256, 8, 8},
    {IDC_SET_MINUTE, Kind::kList, 274, 253, 27, 175},
    {IDC_SET_MINUTE_UNIT, Kind::kLabel, 304, 256, 8, 8},
    {IDC_SET_SECOND, Kind::kList, 317, 253, 27, 175},
    {IDC_SET_SECOND_UNIT, Kind::kLabel, 348, 256, 8, 8},
    {IDC_SET_VERSION_GROUP, Kind::kGroup, 12, 286, 350, 49},
    {IDC_SET_VIEWER_LABEL, Kind::kLabel, 34, 298, 69, 10},
    {IDC_SET_VIEWER_VERSION, Kind::kLabel, 97, 298, 69, 10},
    {IDC_SET_MODEL_LABEL, Kind::kLabel, 199, 298, 69, 10},
    {IDC_SET_MODEL, Kind::kLabel, 275, 298, 69, 10},
    {IDC_SET_FIRMWARE_LABEL, Kind::kLabel, 199, 316, 69, 10},
    {IDC_SET_FIRMWARE, Kind::kLabel, 275, 316, 69, 10},
    {IDC_SET_CANCEL, Kind::kButton, 198, 340, 74, 14},
    {IDC_SET_SAVE, Kind::kButton, 278, 340, 74, 14},
};

constexpr int kListFieldHeight = 12;  // dialog units of a closed drop-down list

struct Caption {
  int id;  // 0: the dialog's title
  StringIds ids;
};

#define CAPTION(control, name) \
  {control, {IDS_SET_##name##_KO, IDS_SET_##name##_EN, IDS_SET_##name##_JA}}

const Caption kCaptions[] = {
    CAPTION(0, TITLE),
    CAPTION(IDC_SET_STORAGE_GROUP, STORAGE),
    CAPTION(IDC_SET_CONST_LABEL, DRIVING),
    CAPTION(IDC_SET_PARK_LABEL, PARKING),
    CAPTION(IDC_SET_EVENT_LABEL, EVENT),
    CAPTION(IDC_SET_MANUAL_LABEL, USER),
    CAPTION(IDC_SET_CAUTION, CAUTION),
    CAPTION(IDC_SET_VOLTAGE_LABEL, BATTERY),
    CAPTION(IDC_SET_TIME_GROUP, TIME),
    CAPTION(IDC_SET_SYNC_LABEL, PC_SYNC),
    CAPTION(IDC_SET_VERSION_GROUP, VERSION),
    CAPTION(IDC_SET_VIEWER_LABEL, PC_VIEWER),
    CAPTION(IDC_SET_MODEL_LABEL, MODEL),
    CAPTION(IDC_SET_FIRMWARE_LABEL, FIRMWARE),
    CAPTION(IDC_SET_SETTINGS_GROUP, SETTINGS),
    CAPTION(IDC_SET_MIC_LABEL, VOICE_REC),
    CAPTION(IDC_SET_VOICE_LABEL, VOICE_GUIDE),
    CAPTION(IDC_SET_ACC_LABEL, IMPACT),
    CAPTION(IDC_SET_MOTION_LABEL, MOTION),
    CAPTION(IDC_SET_LOW, LOW),
    CAPTION(IDC_SET_NORMAL, NORMAL),
    CAPTION(IDC_SET_HIGH, HIGH),
    CAPTION(IDC_SET_MIC_ON, YES),
    CAPTION(IDC_SET_VOICE_ON, YES),
    CAPTION(IDC_SET_MIC_OFF, NO),
    CAPTION(IDC_SET_VOICE_OFF, NO),
    CAPTION(IDC_SET_BIKE, BIKE),
    CAPTION(IDC_SET_YEAR_UNIT, YEAR),
    CAPTION(IDC_SET_MONTH_UNIT, MONTH),
    CAPTION(IDC_SET_DAY_UNIT, DAY),
    CAPTION(IDC_SET_HOUR_UNIT, HOUR),
    CAPTION(IDC_SET_MINUTE_UNIT, MINUTE),
    CAPTION(IDC_SET_SECOND_UNIT, SECOND),
    CAPTION(IDC_SET_SAVE, SAVE),
    {IDC_SET_CANCEL, {IDS_CANCEL_KO, IDS_CANCEL_EN, IDS_CANCEL_JA}},
};

#undef CAPTION

// "MS Shell Dlg" has no Linux face: a sans face of its size, with the CJK face of the
// user's language ahead of the others so kana, kanji and hangul take their own shapes.
QFont TemplateFont(UiLanguage lang) {
  QFont font;
  QStringList families = {QStringLiteral("MS Shell Dlg"), QStringLiteral("DejaVu Sans")};
  families << (lang == UiLanguage::kKorean ? QStringLiteral("Noto Sans CJK KR")
                                           : QStringLiteral("Noto Sans CJK JP"));
  font.setFamilies(families);
  font.setPointSize(8);
  return font;
}

// The main window's dark skin: near-black face, light text, the orange accent. A palette
// rather than a style sheet on the dialog, which would set the palette aside; the push
// buttons alone get the skin's plates by their own style sheets.
void WearDarkSkin(QDialog* dialog) {
  const QColor face(24, 26, 31), field(10, 11, 14), raised(44, 48, 56), line(72, 76, 86);
  const QColor ink(230, 230, 230), dim(120, 124, 132), accent(247, 88, 46);
  QPalette palette = dialog->palette();
  const struct {
    QPalette::ColorRole role;
    QColor active, disabled;
  } kColours[] = {
      {QPalette::Window, face, face},          {QPalette::WindowText, ink, dim},
      {QPalette::Base, field, face},           {QPalette::AlternateBase, face, face},
      {QPalette::Text, ink, dim},              {QPalette::Button, raised, face},
      {QPalette::ButtonText, ink, dim},        {QPalette::Highlight, accent, line},
      {QPalette::HighlightedText, Qt::white, dim}, {QPalette::Mid, line, line},
      {QPalette::Light, line, line},           {QPalette::Midlight, raised, face},
      {QPalette::Dark, field, field},          {QPalette::Shadow, Qt::black, Qt::black},
  };
  for (const auto& c : kColours) {
    palette.setColor(QPalette::Active, c.role, c.active);
    palette.setColor(QPalette::Inactive, c.role, c.active);
    palette.setColor(QPalette::Disabled, c.role, c.disabled);
  }
  dialog->setPalette(palette);
  dialog->setAutoFillBackground(true);
  for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background: rgb(44, 48, 56); color: rgb(235, 235, 235);"
        " border: 1px solid rgb(72, 76, 86); border-radius: 3px; }"
        "QPushButton:hover { background: rgb(58, 62, 72); }"
        "QPushButton:pressed { background: rgb(247, 88, 46); color: white; }"));
  }
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

// A template check box answers a click anywhere in its rectangle, not only on its box and
// text, as the platform's check boxes did.
class CTemplateCheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

void Select(QComboBox* list, int selection) {
  list->setCurrentIndex(selection >= 0 && selection < list->count() ? selection : -1);
}

}  // namespace

CSettingDlg::CSettingDlg(QWidget* parent, unsigned langId)
    : QDialog(parent), m_language(UiLanguageFromLangId(langId)) {
  SetControlId(this, IDD_SETTINGS);
  setModal(true);
  setFont(TemplateFont(m_language));
  CreateControls();
  WearDarkSkin(this);
}

CSettingDlg::~CSettingDlg() = default;

void CSettingDlg::CreateControls() {
  const QFont font = this->font();
  auto pixels = [&font](int x, int y, int w, int h) {
    return CProgressDlg::DialogUnitsToPixels(font, QRect(x, y, w, h));
  };
  setFixedSize(pixels(0, 0, kTemplateWidth, kTemplateHeight).size());
  for (const TemplateControl& c : kTemplate) {
    QWidget* widget = nullptr;
    QRect rect = pixels(c.x, c.y, c.w, c.h);
    switch (c.kind) {
      case Kind::kGroup:
        widget = new QGroupBox(this);  // children below are owned by the dialog
        // The title sits on the frame's top line, as the template was drawn for.
        widget->setStyleSheet(QStringLiteral(
            "QGroupBox { border: 1px solid rgb(72, 76, 86); margin-top: 0.5em;"
            " color: rgb(230, 230, 230); }"
            "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"));
        break;
      case Kind::kLabel:
      case Kind::kCentred: {
        auto* label = new QLabel(this);
        label->setAlignment(c.kind == Kind::kCentred ? Qt::AlignHCenter | Qt::AlignTop
                                                     : Qt::AlignLeft | Qt::AlignTop);
        widget = label;
        break;
      }
      case Kind::kList: {
        auto* list = new QComboBox(this);
        list->setMaxVisibleItems(std::max(1, rect.height() / list->sizeHint().height()));
        rect.setHeight(
            std::max(pixels(0, 0, 0, kListFieldHeight).height(), list->sizeHint().height()));
        widget = list;
        break;
      }
      case Kind::kCheck:
        widget = new CTemplateCheckBox(this);
        break;
      case Kind::kSlider: {
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setRange(1, 3);
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setTickInterval(1);
        slider->setSingleStep(1);
        slider->setPageStep(1);
        widget = slider;
        break;
      }
      case Kind::kButton: {
        auto* button = new QPushButton(this);
        button->setAutoDefault(false);  // Enter saves nothing; only a click on Save does
        widget = button;
        break;
      }
    }
    SetControlId(widget, c.id);
    widget->setGeometry(rect);
  }
  auto list = [this](int id) { return findChild<QComboBox*>(QString::number(id)); };
  auto check = [this](int id) { return findChild<QCheckBox*>(QString::number(id)); };
  const int shareIds[kShareCount] = {IDC_SET_CONST, IDC_SET_EVENT, IDC_SET_PARK, IDC_SET_MANUAL};
  for (int i = 0; i < kShareCount; ++i) {
    m_shares[i] = list(shareIds[i]);
    for (const char* entry : ShareEntries()) m_shares[i]->addItem(QString::fromLatin1(entry));
  }
  m_voltage = list(IDC_SET_VOLTAGE);
  for (const char* entry : VoltageEntries()) m_voltage->addItem(QString::fromLatin1(entry));
  for (int i = 0; i < kTimeFieldCount; ++i) {
    m_time[i] = list(IDC_SET_YEAR + i);
    for (int n = 0; n < kTimeLists[i].count; ++n) {
      m_time[i]->addItem(QString::number(kTimeLists[i].first + n));
    }
  }
  m_micOn = check(IDC_SET_MIC_ON);
  m_micOff = check(IDC_SET_MIC_OFF);
  m_voiceOn = check(IDC_SET_VOICE_ON);
  m_voiceOff = check(IDC_SET_VOICE_OFF);
  m_bike = check(IDC_SET_BIKE);
  m_sync = check(IDC_SET_SYNC);
  m_acc = findChild<QSlider*>(QString::number(IDC_SET_ACC));
  m_motion = findChild<QSlider*>(QString::number(IDC_SET_MOTION));
  m_viewerVersion = findChild<QLabel*>(QString::number(IDC_SET_VIEWER_VERSION));
  m_firmwareLabel = findChild<QLabel*>(QString::number(IDC_SET_FIRMWARE));
  m_modelLabel = findChild<QLabel*>(QString::number(IDC_SET_MODEL));
  // The card's settings file names the model and firmware: shown as text, never as markup.
  m_firmwareLabel->setTextFormat(Qt::PlainText);
  m_modelLabel->setTextFormat(Qt::PlainText);
  ConnectPair(m_micOn, m_micOff);
  ConnectPair(m_voiceOn, m_voiceOff);
  connect(m_sync, &QCheckBox::clicked, this, [this] { OnTimeSyncClicked(); });
  connect(m_bike, &QCheckBox::clicked, this, [this] { OnBikeModeClicked(); });
  connect(findChild<QPushButton*>(QString::number(IDC_SET_SAVE)), &QPushButton::clicked, this,
          [this] { OnSave(); });
  connect(findChild<QPushButton*>(QString::number(IDC_SET_CANCEL)), &QPushButton::clicked, this,
          &QDialog::reject);
  m_caution = findChild<QLabel*>(QString::number(IDC_SET_CAUTION));
  // The note follows the shares as they change, before Save is pressed.
  for (QComboBox* share : m_shares) {
    connect(share, &QComboBox::currentIndexChanged, this, [this] { ShowShareTotal(); });
  }
}

void CSettingDlg::ShowShareTotal() {
  SettingsForm shown;
  for (int i = 0; i < kShareCount; ++i) shown.shares[i] = m_shares[i]->currentIndex();
  const int total = ShareSum(shown);
  if (total == 100) {
    m_caution->setText(Text({IDS_SET_CAUTION_KO, IDS_SET_CAUTION_EN, IDS_SET_CAUTION_JA}));
  } else {
    m_caution->setText(PickText(m_language, "합계 %1%: 네 항목의 합계가 100%여야 합니다",
                                "Total is %1%: the four shares must add up to 100%",
                                "合計 %1%: 4つの合計を100%にしてください")
                           .arg(total));
  }
  // By palette, not style sheet: the label keeps the dialog's skin.
  QPalette ink = palette();
  if (total != 100) ink.setColor(QPalette::WindowText, QColor(255, 96, 72));
  m_caution->setPalette(ink);
  QFont font = this->font();
  font.setBold(total != 100);
  m_caution->setFont(font);
  // Longer than the template's note: grow to the right, never clip.
  const int width = m_caution->sizeHint().width();
  if (width > m_caution->width()) m_caution->resize(width, m_caution->height());
}

// Two check boxes that act as radio buttons: a click leaves exactly the clicked one checked.
void CSettingDlg::ConnectPair(QCheckBox* on, QCheckBox* off) {
  connect(on, &QCheckBox::clicked, this, [on, off] {
    on->setChecked(true);
    off->setChecked(false);
  });
  connect(off, &QCheckBox::clicked, this, [on, off] {
    on->setChecked(false);
    off->setChecked(true);
  });
}

void CSettingDlg::showEvent(QShowEvent* event) {
  if (!m_initialised) {
    m_initialised = true;
    OnInitDialog();
  }
  QDialog::showEvent(event);
}

void CSettingDlg::OnInitDialog() {
  m_viewerVersion->setText(QString::fromLatin1(kViewerVersion));
  m_firmwareLabel->setText(m_firmware);
  SetLanguageTexts();
  ReadSettings();
  if (m_readOnly) {
    // Said before anything is changed, not as a failure at Save.
    auto* save = findChild<QPushButton*>(QString::number(IDC_SET_SAVE));
    save->setEnabled(false);
    auto* note = new QLabel(PickText(m_language, "카드가 읽기 전용입니다: 설정을 저장할 수 없습니다",
                                     "The card is read-only: the settings cannot be saved",
                                     "カードは読み取り専用です。設定を保存できません"),
                            this);
    note->setObjectName(QStringLiteral("ReadOnlyNote"));
    note->setWordWrap(true);
    const QRect cancel = findChild<QPushButton*>(QString::number(IDC_SET_CANCEL))->geometry();
    note->setGeometry(8, cancel.top() - 4, cancel.left() - 16, cancel.height() + 8);
    note->show();
  }
}

QString CSettingDlg::Text(const StringIds& ids) const {
  return FormatResourceText(LoadString(PickStringId(ids, m_language), m_language));
}

void CSettingDlg::SetLanguageTexts() {
  for (const Caption& c : kCaptions) {
    const QString text = Text(c.ids);
    if (c.id == 0) {
      setWindowTitle(text);
      continue;
    }
    QWidget* widget = findChild<QWidget*>(QString::number(c.id));
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      label->setText(text);
      // Hangul and kana stand taller than the template font's line; grow down, never clip.
      const int height = label->sizeHint().height();
      if (height > label->height()) label->resize(label->width(), height);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      group->setTitle(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      button->setText(text);
    }
  }
}

void CSettingDlg::ReadSettings() {
  m_opened = ReadSettingsForm(m_file, m_clockSet ? m_clock : LocalNow());
  ShowForm(m_opened);
  ApplyModel(QString::fromLatin1(m_opened.model.c_str()));
  for (QComboBox* list : m_time) list->setEnabled(false);
  m_sync->setChecked(false);
}

void CSettingDlg::ApplyModel(const QString& model) {
  if (model.compare(QLatin1String("Wayfarer Q5"), Qt::CaseInsensitive) == 0 ||
      model.compare(QLatin1String("Q5"), Qt::CaseInsensitive) == 0) {
    m_dimFront.clear();
    return;
  }
  m_dimFront = ReadIniString("blackbox", "dim_front", "d1", 10, m_file.path.c_str());
}

void CSettingDlg::ShowForm(const SettingsForm& form) {
  for (int i = 0; i < kShareCount; ++i) Select(m_shares[i], form.shares[i]);
  m_voltage->setEnabled(true);
  Select(m_voltage, form.voltage);
  m_micOn->setChecked(form.micIn);
  m_micOff->setChecked(!form.micIn);
  m_voiceOn->setChecked(form.voiceOut);
  m_voiceOff->setChecked(!form.voiceOut);
  m_motion->setValue(form.motionPosition);
  m_acc->setValue(form.accPosition);
  m_bike->setChecked(form.bikeMode);
  m_acc->setEnabled(!form.bikeMode);
  for (int i = 0; i < kTimeFieldCount; ++i) Select(m_time[i], form.time[i]);
  m_sync->setChecked(form.timeSync);
  for (QComboBox* list : m_time) list->setEnabled(form.timeSync);
  m_firmware = QString::fromLatin1(form.version.c_str());
  m_firmwareLabel->setText(m_firmware);
  m_modelLabel->setText(QString::fromLatin1(form.model.c_str()));
  ShowShareTotal();
}

SettingsForm CSettingDlg::Form() const {
  SettingsForm form = m_opened;
  for (int i = 0; i < kShareCount; ++i) form.shares[i] = m_shares[i]->currentIndex();
  form.voltage = m_voltage->currentIndex();
  form.micIn = m_micOn->isChecked();
  form.voiceOut = m_voiceOn->isChecked();
  form.bikeMode = m_bike->isChecked();
  form.accPosition = m_acc->value();
  form.motionPosition = m_motion->value();
  form.timeSync = m_sync->isChecked();
  for (int i = 0; i < kTimeFieldCount; ++i) form.time[i] = m_time[i]->currentIndex();
  form.version = m_firmware.toStdString();
  form.model = m_modelLabel->text().toStdString();
  return form;
}

bool CSettingDlg::WriteSettings() {
  m_lastSave = SaveSettingsForm(m_file, m_opened, Form());
  return m_lastSave == SaveResult::kSaved;
}

void CSettingDlg::OnSave() {
  if (WriteSettings()) {
    accept();
    return;
  }
  const StringIds caption = {IDS_SETTINGS_ERROR_CAPTION_KO, IDS_SETTINGS_ERROR_CAPTION_EN,
                             IDS_SETTINGS_ERROR_CAPTION_JA};
  const StringIds storage = {IDS_SETTINGS_ERROR_TEXT_KO, IDS_SETTINGS_ERROR_TEXT_EN,
                             IDS_SETTINGS_ERROR_TEXT_JA};
  const StringIds failed = {IDS_SETTINGS_WRITE_FAILED_KO, IDS_SETTINGS_WRITE_FAILED_EN,
                            IDS_SETTINGS_WRITE_FAILED_JA};
  QMessageBox message(QMessageBox::Warning, Text(caption),
                      Text(m_lastSave == SaveResult::kBadShares ? storage : failed),
                      QMessageBox::Ok, this);
  message.setObjectName(QStringLiteral("SettingsMessage"));
  message.exec();
}

void CSettingDlg::OnTimeSyncClicked() {
  for (QComboBox* list : m_time) list->setEnabled(m_sync->isChecked());
}

void CSettingDlg::OnBikeModeClicked() { m_acc->setEnabled(!m_bike->isChecked()); }
