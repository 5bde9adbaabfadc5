// The settings button (1016) and F3: the settings dialog on the recorder's settings file of
// the card the window has open (settings/recorder_settings.h, settings/setting_dlg.h).
#include <QMessageBox>

#include "app/main_window.h"
#include "resources/resource_ids.h"
#include "settings/recorder_settings.h"
#include "settings/setting_dlg.h"
#include "tat/card.h"

namespace {

constexpr int kSavedNoteMs = 2500;  // long enough to read, short enough not to be in the way

}  // namespace

bool CZarezeRadidaDlg::LocateSettingsFile() {
  if (ExportBusy()) return false;
  const int status = m_playback.Player().Status();
  if (status == CQMVMediaPlayer::kPlaying || status == CQMVMediaPlayer::kStill) OnPause();
  // The card in use, never another volume that happens to hold a SETTING folder.
  const std::shared_ptr<CCard> card = m_state.cardLetter != 0 ? TatCurrentCard(m_library) : nullptr;
  const SettingsLocation location = card ? FindCardSettings(card->Root()) : SettingsLocation{};
  if (location.Editable()) {
    CSettingDlg dialog(this, m_langId);
    dialog.SetFile({location.path, FactorySettings(m_library)});
    dialog.SetReadOnly(location.readOnly);
    if (dialog.exec() == QDialog::Accepted) {
      ShowStatusLine(PickText(m_language, "설정을 카드에 저장했습니다", "Settings saved to the card",
                              "設定をカードに保存しました"),
                     kSavedNoteMs);
    }
    ResumeAfterDialog(status);  // as after a snapshot
    return true;
  }
  // The message says what is wrong when it is the file; anything else is no usable card.
  const int text = location.place == SettingsPlace::kTooLarge ? IDS_SETTINGS_TOO_LARGE_EN
                   : location.place == SettingsPlace::kLink   ? IDS_SETTINGS_LINK_EN
                                                              : IDS_NO_SETTINGS_FILE_EN;
  QMessageBox message(QMessageBox::Warning, LoadString(IDS_APP_TITLE),
                      FormatResourceText(LoadString(text, m_language)), QMessageBox::Ok, this);
  message.setObjectName(QStringLiteral("NoSettingsMessage"));
  message.exec();
  ResumeAfterDialog(status);
  return false;
}
